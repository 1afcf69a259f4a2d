#!/usr/bin/env bash
# Evaluate, schedule and summarize on the results of file runs: benchmark projects copied under new
# names (a J30 and a J60 project in one run), rows named by file and stem, --jobs 2 against one
# process, the same project in two runs at other places, resuming, and the refusals.
source "$(dirname "$0")/lib.bash"
runs=200
[ "$kind" == sanitized ] && runs=40
e="-runs$runs"   # the files of an evaluation of other than 10,000 runs say so
ev() { "$program" evaluate --quiet --runs "$runs" "$@"; }

mkdir one two
cp "$psplib/j301_1.sm" one/alpha.sm
cp "$psplib/j301_2.sm" one/bravo.sm
cp "$psplib/j601_1.sm" one/charlie.sm
cp "$psplib/j301_2.sm" two/bravo.sm       # the same project under the same stem, first in its run
cp "$psplib/j301_3.sm" two/delta.sm
"$program" run --files one --name R --dist U2 --quiet --reports runA || fail "file run one"
"$program" run --files two/bravo.sm two/delta.sm --name R --dist U2 --quiet --reports runB || fail "file run two"
a=$(ls runA/R-U2-*.jsonl)
b=$(ls runB/R-U2-*.jsonl)
[ -f "$a" ] && [ -f "$b" ] || fail "the file runs wrote their policy files"
base=$(basename "$a" .jsonl)

# Evaluation of a file run: file and stem after the other columns, group and instance empty, rows
# in the run's order of files, the batch run's estimates joined by stem; --jobs 2 equals one process.
ev --dist U2,EXP --reports e1 --samples e1/samples.jsonl "$a" > e1.txt || fail "evaluate a file run"
ev --dist U2,EXP --reports e2 --samples e2/samples.jsonl --jobs 2 "$a" > /dev/null || fail "evaluate --jobs 2"
for f in e1/*-eval-*.csv; do cmp -s "$f" "e2/${f#e1/}" || fail "--jobs 2 equals --jobs 1: $f"; done
cmp -s e1/samples.jsonl e2/samples.jsonl || fail "--jobs 2 writes the same samples"
u2="e1/$base-eval-U2$e.csv"
expect_eq "$(head -n 1 "$u2" | grep -o ",run_version,path_bound,path_bound_stderr,gap_path,gap_path_stderr,file,stem$")" ",run_version,path_bound,path_bound_stderr,gap_path,gap_path_stderr,file,stem" "file-run header"
expect_eq "$(cut -d, -f7,8,9,34 "$u2" | sed 1d | tr '\n' ' ')" \
  ",,ph1,alpha ,,ph2,alpha ,,ph1,bravo ,,ph2,bravo ,,ph1,charlie ,,ph2,charlie " "rows by stem in file order"
python3 - "$a" "$u2" e1/samples.jsonl <<'PY' || fail "in-sample join, sizes and samples of a file run"
import csv, json, sys
batch = {r["stem"]: r for r in csv.DictReader(open(sys.argv[1][:-6] + ".csv"))}
sizes = {r["stem"]: r["activities"] for r in batch.values()}
assert sizes == {"alpha": "32", "bravo": "32", "charlie": "62"}, sizes
for r in csv.DictReader(open(sys.argv[2])):
    b = batch[r["stem"]]
    assert r["file"] == b["file"] == "one/" + r["stem"] + ".sm", (r["file"], b["file"])
    assert r["run_seed"] == "1" and r["lower_bound"] == b["lower_bound"]
    assert abs(float(r["in_sample"]) - float(b["ph1_makespan" if r["policy"] == "ph1" else "ph2_makespan"])) < 1e-5
samples = [json.loads(line) for line in open(sys.argv[3])]
assert len(samples) == 3 * 2 * 2, len(samples)
for s in samples:
    assert "group" not in s and s["file"] == "one/" + s["stem"] + ".sm", s.keys()
assert [s["stem"] for s in samples[:6]] == ["alpha", "alpha", "bravo", "bravo", "charlie", "charlie"]
PY
grep -q "significantly better on" e1.txt || fail "console summary of a file run"

# The same project under the same stem in another run, folder and place: the same search and the
# same scenarios, so the same rows but for the file's path.
ev --reports e3 "$b" > /dev/null || fail "evaluate the second file run"
expect_eq "$(grep ',bravo$' "e3/$base-eval-U2$e.csv" | cut -d, -f1-32)" "$(grep ',bravo$' "$u2" | cut -d, -f1-32)" \
  "bravo's rows do not depend on the run, folder or place"
expect_eq "$(grep ',bravo$' "e3/$base-eval-U2$e.csv" | cut -d, -f33 | sort -u)" "two/bravo.sm" "bravo's file in run two"

# A cut file is resumed to the same result.
cut_evaluation e1 cut "$base-eval-U2$e.csv" 4
f="cut/$base-eval-U2$e.csv"
ev --dist U2 --reports cut --resume "$a" > /dev/null 2>&1 || fail "resume a file run's evaluation"
cmp -s "$f" "$u2" || fail "resumed file equals the uninterrupted one"

# Refusals: a project file that is gone, a stem given twice.
mkdir moved && cp "$a" moved/
(cd moved && "$program" evaluate --quiet --runs 2 R-U2-*.jsonl > /dev/null 2> ../err); rc=$?
expect_eq "$rc" 2 "exit code for a missing project file"
grep -q "line 1: instance alpha cannot be read from one/alpha.sm" err || fail "the missing project is named: $(cat err)"
{ cat "$a"; head -n 1 "$a"; } > twice.jsonl
msg=$(ev twice.jsonl 2>&1 >/dev/null); rc=$?
expect_eq "$rc" 2 "exit code for a stem given twice"
[[ "$msg" == *"twice.jsonl: line 4: instance alpha was given before, on line 1"* ]] || fail "stem twice: $msg"

# Schedule by stem or by the file's place; the JSON names file and stem; scenario K is run K.
sched() { "$program" schedule "$@"; }
expect_eq "$(sched "$a" bravo)" "$(sched "$a" 2)" "schedule by stem equals schedule by number"
sched --format json "$a" charlie | grep -q '"method":"HV","file":"one/charlie.sm","stem":"charlie","policy":"ph2"' \
  || fail "JSON names the file and stem"
expect_eq "$(sched "$a" charlie | sed '/^$/q' | grep -c '^[0-9]')" 62 "a J60 project's schedule"
sched --format json --scenario 3 --dist EXP "$a" alpha > k3.json || fail "schedule scenario 3"
python3 - e1/samples.jsonl k3.json <<'PY' || fail "scenario K of a file run's project is run K of tarvo evaluate"
import json, sys
s = [json.loads(l) for l in open(sys.argv[1])]
ph2 = [x for x in s if x["stem"] == "alpha" and x["policy"] == "ph2" and x["eval_distribution"] == "EXP"][0]
assert json.load(open(sys.argv[2]))["makespan"] == ph2["makespans"][2]
PY
for args in "$a echo" "$a 4" "$a 1 1" "$psplib/../golden/batch-J30-U2-#25000sch-HV-g1-3.jsonl alpha"; do
  out=$(sched $args 2>err); rc=$?
  expect_eq "$rc" 2 "exit code of: schedule $args"
  [ -s err ] && [ -z "$out" ] || fail "a message and no schedule for: schedule $args"
done
"$program" schedule --help | grep -q 'FILE.jsonl STEM' || fail "schedule --help shows the file-run form"

# Summaries: the file run's rows under its name, its projects counted by stem, apart from PSPLIB.
"$program" summarize --format csv "$a" 2>/dev/null; expect_eq "$?" 2 "a policy file is no results file"
"$program" summarize --format csv runA/*.csv runB/*.csv e1/*-eval-*.csv > summary.csv || fail "summarize a file run"
grep -q '^R,U2,HV,[0-9]*,U2,3,1,.*,3 files,'"$runs"',1,[^,]*,[^,]*,[^,]*$' summary.csv || fail "batch and evaluation joined, three projects by stem"
grep -q '^R,U2,HV,[0-9]*,U2,2,1,.*,2 files,,,[^,]*,,$' summary.csv || fail "the other run of other files in a row apart"
grep -q '^R,U2,HV,[0-9]*,EXP,3,1,' summary.csv || fail "the EXP evaluation row"
"$program" summarize --by nc runA/*.csv e1/*-eval-*.csv > by.txt 2> by.err; expect_eq "$?" 2 "--by refused for a file run"
grep -q 'needs the design levels of a PSPLIB set' by.err || fail "--by refusal says why"
[ -s by.txt ] && fail "nothing written when --by is refused"
link_instances j301_1 j301_6
"$program" --dataset J30 --groups 1 --shard 1/5 --dist U2 --quiet --reports psplib
"$program" summarize --format csv psplib/*.csv runA/*.csv > mixed.csv || fail "summarize a PSPLIB set beside a file run"
expect_eq "$(cut -d, -f1,6 mixed.csv | sed 1d | tr '\n' ' ')" "J30,2 R,3 " "a PSPLIB set and a file run in rows apart"
finish
