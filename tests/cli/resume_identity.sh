#!/usr/bin/env bash
# --resume continues exactly the experiment its files hold: other groups, the single stream, other
# evaluation runs and seeds are other experiments (their own files, or a refusal naming both
# identities, exit 2), never exit 0 with the old files; policy lines of another run are refused by
# resume and merge.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10} j303_{1..10}
label=5000
[ "$config" == extended ] && label=25000
run() { "$program" run --dataset J30 --dist U1 --quiet "$@"; }
ev() { "$program" evaluate --instances Instances --quiet "$@"; }
# Rows of all results files in folder $1 whose column $2 is $3.
count() { cat "$1"/*.csv | cut -d, -f"$2" | grep -cx -- "$3"; }

# After a pass of group 1, --groups 1-3 --resume solves groups 1-3, with and without --resume.
run --groups 1-1 --reports g || fail "group 1"
run --groups 1-3 --reports g --resume || fail "groups 1-3 resumed beside group 1"
expect_eq "$(count g 6 1-3)" 30 "groups 1-3 hold 30 rows"
expect_eq "$(count g 6 1-1)" 10 "group 1 keeps its own pass"
run --groups 1-3 --dist B1 --reports g || fail "groups 1-3 of another distribution"
# A file holding another experiment under the name asked for (as older versions named files)
# is refused with both identities.
mkdir old
cp "g/J30-U1-#${label}sch-LV-g1-1.csv" "old/J30-U1-#${label}sch-LV-g1-3.csv"
cp "g/J30-U1-#${label}sch-LV-g1-1.jsonl" "old/J30-U1-#${label}sch-LV-g1-3.jsonl"
msg=$(run --groups 1-3 --reports old --resume 2>&1); rc=$?
expect_eq "$rc" 2 "resume over a file of other groups"
[[ "$msg" == *"groups 1-1"*"groups 1-3"* ]] || fail "both identities named: $msg"

# A single-stream pass, then --resume with the default seed: a seeded pass of its own.
run --groups 1-1 --single-stream --reports s || fail "single stream"
run --groups 1-1 --reports s --resume || fail "the seeded pass beside it"
expect_eq "$(count s 5 single)" 10 "the single-stream rows stay"
expect_eq "$(count s 5 1)" 10 "the seeded pass has rows of seed 1"
mkdir s2
cp "s/J30-U1-#${label}sch-LV-g1-1-single.csv" "s2/J30-U1-#${label}sch-LV-g1-1.csv"
cp "s/J30-U1-#${label}sch-LV-g1-1-single.jsonl" "s2/J30-U1-#${label}sch-LV-g1-1.jsonl"
msg=$(run --groups 1-1 --reports s2 --resume 2>&1); rc=$?
expect_eq "$rc" 2 "resume of seed 1 over a single-stream file"
[[ "$msg" == *"single stream"*"seed 1"* ]] || fail "both streams named: $msg"

# An evaluation of 50 runs, then --runs 500 --seed 7 --resume: evaluated, the old file kept.
mkdir e
cp "g/J30-U1-#${label}sch-LV-g1-1.csv" e/X.csv; cp "g/J30-U1-#${label}sch-LV-g1-1.jsonl" e/X.jsonl
ev --runs 50 e/X.jsonl > /dev/null || fail "evaluate 50 runs"
first=$(cat e/*-eval-*.csv)
out=$(ev --runs 500 --seed 7 --resume e/X.jsonl) || fail "evaluate 500 runs, seed 7"
[[ "$out" == *"evaluated 10 instances"* ]] || fail "the new evaluation is done: $out"
expect_eq "$(count e 10 500)" 20 "rows of 500 runs"
expect_eq "$(cat e/*-eval-*.csv | cut -d, -f10,11 | grep -cx '500,7')" 20 "rows of seed 7"
expect_eq "$(cat e/X-eval-U1-runs50.csv 2>/dev/null || cat e/X-eval-U1.csv)" "$first" "the 50-run file is kept"
mkdir e2
cp e/X.csv e/X.jsonl e2/
cp e/X-eval-U1-runs50.csv e2/X-eval-U1.csv
msg=$(ev --resume e2/X.jsonl 2>&1); rc=$?
expect_eq "$rc" 2 "resume of 10,000 runs over a file of 50"
[[ "$msg" == *"50 runs"*"10000 runs"* ]] || fail "both evaluations named: $msg"
cut_evaluation e e3 X-eval-U1-runs50.csv 5
msg=$(ev --runs 50 --seed 3 --resume e3/X.jsonl 2>&1 >/dev/null); rc=$?
[ -e e3/X-eval-U1-runs50.csv ] && fail "another seed does not complete the 50-run file"
[ -e e3/X-eval-U1-runs50.csv.part ] || fail "the 50-run .part stays for its own resume"

# Policy lines of another run (the U2 file beside the U1 file) are refused by resume and merge.
run --groups 1-1 --dist U2 --reports g || fail "the U2 pass"
u1="J30-U1-#${label}sch-LV-g1-1" u2="J30-U2-#${label}sch-HV-g1-1"
mkdir r
cp "g/$u1.csv" "r/$u1.csv.part"; cp "g/$u2.jsonl" "r/$u1.jsonl.part"
msg=$(run --groups 1-1 --reports r --resume 2>&1); rc=$?
expect_eq "$rc" 2 "resume with another run's policy lines"
[[ "$msg" == *"$u1.jsonl.part: line 1"*"another run"* ]] || fail "the line is named: $msg"
mkdir sh
for d in U1 U2; do for k in 1 2; do run --groups 1-1 --dist $d --reports sh --shard $k/2; done; done
cp "sh/$u2-shard1of2.jsonl" "sh/$u1-shard1of2.jsonl"
msg=$("$program" merge --reports sh sh/$u1-shard*.csv 2>&1); rc=$?
expect_eq "$rc" 2 "merge with another run's policy lines"
[[ "$msg" == *"shard1of2.jsonl: line 1"*"another run"* ]] || fail "the merge names the line: $msg"
[ -e "sh/$u1.csv" ] && fail "the refused merge writes nothing"

finish
