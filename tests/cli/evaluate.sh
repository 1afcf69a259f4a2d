#!/usr/bin/env bash
# tarvo evaluate and summarize end to end on a few J30 policies: refusals of flags and of bad
# records (exit 2, nothing written), --jobs 2 against one process, a subset against the whole,
# common random numbers, in-sample values from the batch .csv, resuming a cut file, the samples
# file, refusing to overwrite, and the summary formats.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10}
runs=300
[ "$kind" == sanitized ] && runs=60
e="-runs$runs"   # the files of an evaluation of other than 10,000 runs say so
ev() { "$program" evaluate --instances Instances --quiet --runs "$runs" "$@"; }

# Policies of a small batch run (shard 1 of 5 of group 1: instances 1 and 6) with its .csv.
"$program" --dataset J30 --groups 1 --dist U2,B1 --shard 1/5 --quiet --reports batch
u2=$(ls batch/J30-U2-*-shard1of5.jsonl)
b1=$(ls batch/J30-B1-*-shard1of5.jsonl)
[ -f "$u2" ] && [ -f "$b1" ] || fail "the batch run wrote its policy files"

# Flags and bad records: exit code 2, a message naming the fault, no file written.
for bad in "--runs 1 $u2" "--dist U3 $u2" "--jobs 0 $u2" "--levels x $u2" "--frobnicate $u2" "" "missing.jsonl"; do
  msg=$(ev $bad 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code of: evaluate $bad"
  [ -n "$msg" ] || fail "a message for: evaluate $bad"
done
good=$(head -n 1 "$u2")
mkdir bad
printf '%s\n%s\n' "$good" '{"dataset":"J30",' > bad/json.jsonl
printf '%s\n' "${good/\"instance\":1,/\"instance\":11,}" > bad/range.jsonl
printf '%s\n' "${good/\"list\":\[1,/\"list\":[1,1,}" > bad/list.jsonl
printf '%s"arcs":[[32,1,1]]}\n' "${good%%\"arcs\"*}" > bad/cycle.jsonl
printf '%s"arcs":[[2,40,1]]}\n' "${good%%\"arcs\"*}" > bad/outside.jsonl
for f in json:"line 2: not valid JSON" range:"line 1: \"instance\" is 11" list:"line 1: \"list\" holds 33 activities" \
         cycle:"line 1: arc [32, 1, 1] closes a cycle" outside:"line 1: \"arcs\" entry 1 does not join two activities"; do
  name=${f%%:*}; want=${f#*:}
  msg=$(ev "bad/$name.jsonl" 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code for bad/$name.jsonl"
  [[ "$msg" == *"bad/$name.jsonl: $want"* ]] || fail "message for bad/$name.jsonl: $msg"
done
mkdir empty
cp "$u2" bad/good.jsonl
msg=$("$program" evaluate --instances empty bad/good.jsonl 2>&1 >/dev/null); rc=$?
expect_eq "$rc" 2 "exit code for a missing instance"
[[ "$msg" == *"bad/good.jsonl: line 1: instance j301_1 cannot be read from empty"* ]] || fail "missing instance: $msg"
ls bad/*eval* >/dev/null 2>&1 && fail "refused evaluations write nothing"

# --jobs 2 equals one process, for every file and distribution and for the samples.
ev --dist all --reports one --samples one/samples.jsonl "$u2" "$b1" > one.txt || fail "evaluate --dist all"
ev --dist all --reports two --samples two/samples.jsonl --jobs 2 "$u2" "$b1" > /dev/null || fail "evaluate --jobs 2"
expect_eq "$(ls one/*-eval-*.csv | wc -l)" 10 "one file per input and distribution"
for f in one/*-eval-*.csv; do
  cmp -s "$f" "two/${f#one/}" || fail "--jobs 2 equals --jobs 1: $f"
  expect_eq "$(wc -l < "$f")" 5 "two instances, two policies: $f"
done
cmp -s one/samples.jsonl two/samples.jsonl || fail "--jobs 2 writes the same samples"
ls one/*.part two/*.part >/dev/null 2>&1 && fail "no .part file is left"
grep -q "significantly better on" one.txt || fail "console summary"

# A subset of the instances gives the same rows as inside the whole run.
mkdir sub
head -n 1 "$u2" > sub/first.jsonl
ev --dist all --reports sub sub/first.jsonl > /dev/null 2>&1
base=$(basename "$u2" .jsonl)
stats() { cut -d, -f1-5,7-12,14-23,25-27 "$1" | sed -n 2,3p; }
expect_eq "$(stats sub/first-eval-B2$e.csv)" "$(stats "one/$base-eval-B2$e.csv")" \
  "an instance's rows do not depend on the others (the .csv columns apart: none beside the subset)"
expect_eq "$(cut -d, -f6,13,24 sub/first-eval-B2$e.csv | sed -n 2p)" ",," "without the batch .csv run_seed, in_sample and bias stay empty"

# In-sample values and run seed from the batch .csv; gap and bias as defined.
python3 - "$u2" "one/$base-eval-U2$e.csv" <<'PY' || fail "in-sample, gap and bias columns"
import csv, sys
batch = {(r["group"], r["instance"]): r for r in csv.DictReader(open(sys.argv[1][:-6] + ".csv"))}
for r in csv.DictReader(open(sys.argv[2])):
    b = batch[(r["group"], r["instance"])]
    assert r["run_seed"] == b["run_seed"] == "1"
    assert abs(float(r["in_sample"]) - float(b["ph1_makespan" if r["policy"] == "ph1" else "ph2_makespan"])) < 1e-5
    lb, mean = float(r["lower_bound"]), float(r["mean"])
    assert float(r["gap"]) == 100 * (mean - lb) / lb
    assert float(r["bias"]) == float(r["in_sample"]) - mean
    assert float(r["ci95_low"]) < mean < float(r["ci95_high"]) and float(r["p50"]) <= float(r["p99"])
PY

expect_eq "$(cut -d, -f13,24 "one/$base-eval-EXP$e.csv" | sed -n 2p)" "," "no in-sample value under another distribution"

# Common random numbers: an HV policy without arcs is its own Phase 2, so the paired difference
# and its standard error are exactly 0.
grep '"arcs":\[\]' "$u2" | head -n 1 > sub/same.jsonl
ev --reports sub sub/same.jsonl > /dev/null 2>&1
expect_eq "$(cut -d, -f25,26 sub/same-eval-U2$e.csv | sed -n 3p)" "0,0" "paired difference of a policy with itself"
expect_eq "$(cut -d, -f14 sub/same-eval-U2$e.csv | sed -n 2p)" "$(cut -d, -f14 sub/same-eval-U2$e.csv | sed -n 3p)" "same mean"

# The samples file: keys in order, every run's makespan, whose mean is the row's mean.
python3 - one/samples.jsonl "one/$base-eval-U2$e.csv" "$runs" <<'PY' || fail "samples file"
import csv, json, sys
keys = ["dataset", "distribution", "eval_distribution", "method", "config", "group", "instance", "policy",
        "eval_seed", "runs", "lower_bound", "path_bound", "mean", "makespans"]
lines = [json.loads(l) for l in open(sys.argv[1])]
assert len(lines) == 2 * 2 * 2 * 5, len(lines)
rows = {(r["group"], r["instance"], r["policy"]): r for r in csv.DictReader(open(sys.argv[2]))}
seen = 0
for s in lines:
    assert list(s.keys()) == keys, list(s.keys())
    assert len(s["makespans"]) == s["runs"] == int(sys.argv[3])
    if s["distribution"] == "U2" and s["eval_distribution"] == "U2":
        r = rows[(str(s["group"]), str(s["instance"]), s["policy"])]
        assert float(r["mean"]) == s["mean"]
        assert float(r["path_bound"]) == s["path_bound"] and s["lower_bound"] < s["path_bound"] <= s["mean"]
        assert float(r["gap_path"]) >= 0 and float(r["gap_path"]) < float(r["gap"])
        assert abs(sum(s["makespans"]) / len(s["makespans"]) - s["mean"]) < 1e-9 * s["mean"]
        seen += 1
assert seen == 4
PY

# A cut file is resumed to the same result; a complete one is refused without --resume.
cut_evaluation one cut "$base-eval-U2$e.csv" 3
f="cut/$base-eval-U2$e.csv"
ev --dist U2 --reports cut --resume "$u2" > /dev/null 2>&1 || fail "resume ends cleanly"
cmp -s "$f" "one/$base-eval-U2$e.csv" || fail "resumed file equals the uninterrupted one"
ev --dist U2 --reports cut "$u2" > /dev/null 2>&1; expect_eq "$?" 2 "a complete evaluation is not overwritten"
ev --dist U2 --reports cut --resume "$u2" > /dev/null 2>&1; expect_eq "$?" 0 "--resume skips a complete file"

# --levels draws the search's tabulation: another file name, other values, still paired.
ev --levels 10 --reports sub sub/first.jsonl > /dev/null 2>&1
[ -f sub/first-eval-U2-L10$e.csv ] || fail "--levels names its file"
expect_eq "$(cut -d, -f3 sub/first-eval-U2-L10$e.csv | sed -n 2p)" "U2-L10" "--levels in eval_distribution"

# Summaries of batch and evaluation files.
"$program" summarize --format csv batch/*.csv one/*-eval-*.csv > summary.csv || fail "summarize csv"
expect_eq "$(head -n 1 summary.csv | cut -d, -f1-15)" \
  "dataset,distribution,method,config,eval_distribution,instances,seeds,ph1_gap_mean,ph2_gap_mean,ph2_gap_ci95_low,ph2_gap_ci95_high,cpu_mean,eval_ph1_gap_mean,eval_ph2_gap_mean,bias_mean" \
  "summary columns"
expect_eq "$(wc -l < summary.csv)" 11 "one row per searched and evaluated distribution"
grep -q '^J30,U2,HV,[0-9]*,U2,2,1,' summary.csv || fail "the U2 row joins batch and evaluation"
"$program" summarize --format latex batch/*.csv | grep -q '^\\bottomrule' || fail "latex table"
"$program" summarize batch/*.csv | grep -q '^| set | dist |' || fail "markdown table"
"$program" summarize --format html batch/*.csv 2>/dev/null; expect_eq "$?" 2 "unknown format"
"$program" summarize bad/json.jsonl 2>/dev/null; expect_eq "$?" 2 "a file that is no results file"

finish
