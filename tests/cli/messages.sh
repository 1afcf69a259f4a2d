#!/usr/bin/env bash
# Messages that help: reports folders made with their parents by every command, a folder that
# cannot be made named with the system's reason on standard error, no message pointing at .part
# files that were never made, one help style listing every command, what `tarvo run` alone needs,
# --quiet silencing progress and merge lines, and labels read in any letter case.
source "$(dirname "$0")/lib.bash"
label=5000
[ "$config" == extended ] && label=25000
link_instances j301_{1..10}
run() { "$program" --dataset J30 --groups 1 --dist U1 --quiet "$@"; }

# Reports folders with their parents, for run, merge and evaluate.
run --reports deep/a/b > /dev/null 2>&1; expect_eq "$?" 0 "run into a nested new folder"
[ -f "deep/a/b/J30-U1-#${label}sch-LV-g1-1.csv" ] || fail "run made the nested reports folder"
run --shard 1/2 --reports shards > /dev/null 2>&1
run --shard 2/2 --reports shards > /dev/null 2>&1
"$program" merge --reports merged/x shards/*shard*of2.csv > /dev/null 2>&1; expect_eq "$?" 0 "merge into a new folder"
[ -f "merged/x/J30-U1-#${label}sch-LV-g1-1.csv" ] || fail "merge made its reports folder"
"$program" evaluate --runs 10 --quiet --reports ev/a/b "deep/a/b/J30-U1-#${label}sch-LV-g1-1.jsonl" > /dev/null 2>&1
expect_eq "$?" 0 "evaluate into a nested new folder"
[ -f "ev/a/b/J30-U1-#${label}sch-LV-g1-1-eval-U1-runs10.csv" ] || fail "evaluate made the nested reports folder"

# A folder that cannot be made: which one and why, on standard error, nothing on standard output.
touch afile
for target in afile afile/sub ''; do
  out=$(run --reports "$target" 2> err.txt); rc=$?
  expect_eq "$rc" 1 "exit code of --reports '$target'"
  expect_eq "$out" "" "standard output of --reports '$target'"
  grep -q "cannot create the folder \"$target\": \(Not a directory\|No such file or directory\)" err.txt ||
    fail "the reason for --reports '$target': $(cat err.txt)"
done
"$program" merge --reports afile shards/*shard*of2.csv 2> err.txt; expect_eq "$?" 1 "merge into a file"
grep -q 'cannot create the folder "afile": Not a directory' err.txt || fail "merge names the reason: $(cat err.txt)"

# .part files that could not be made are not claimed.
mkdir -p blocked/"J30-U1-#${label}sch-LV-g1-1.jsonl.part.new"
out=$(run --reports blocked 2> err.txt); expect_eq "$?" 1 "exit code of a pass whose .part files cannot be made"
[[ "$out" == *"finished instances"* ]] && fail "a message claims .part files that were never made: $out"
[[ "$out" == *"nothing of it was written"* ]] || fail "the pass says nothing was written: $out"

# A flag taken as a path of --files is refused by name.
msg=$("$program" run --files --reports R 2>&1); expect_eq "$?" 2 "exit code of run --files --reports R"
[[ "$msg" == *'--files took a flag as a path'*'"--reports"'* ]] || fail "run --files --reports R: $msg"

# Help: every command listed by tarvo --help and run --help; every command's help in one style.
for words in "--help" "run --help"; do
  help=$("$program" $words)
  for command in run merge evaluate summarize schedule compare; do
    [[ "$help" == *"tarvo $command "* ]] || fail "tarvo $words lists $command"
  done
done
for command in run merge evaluate summarize schedule compare; do
  usage=$("$program" $command --help | sed -n 2p)
  [[ "$usage" == "Usage: tarvo $command "* ]] || fail "$command --help in the common style: $usage"
  "$program" $command --help | grep -q '^  -h,--help  *Print this help message and exit$' || fail "$command --help lists -h,--help"
done
msg=$("$program" run 2>&1); expect_eq "$?" 2 "exit code of run alone"
[[ "$msg" == *"--dataset"*"--files"* && "$msg" != *'""'* ]] || fail "run alone says what it needs: $msg"

# --quiet: no progress and no merge lines; only warnings and errors would remain.
"$program" --dataset J30 --groups 1 --dist U1 --jobs 2 --quiet --reports quiet > out.txt 2> err.txt
expect_eq "$?" 0 "exit code of --jobs 2 --quiet"
expect_eq "$(cat out.txt err.txt)" "" "nothing printed under --quiet"
"$program" merge --quiet --reports quiet2 shards/*shard*of2.csv 2> err.txt
expect_eq "$(cat err.txt)" "" "merge --quiet prints nothing"

# Labels in any letter case, alike for --dataset, --dist and --method.
"$program" --dataset j30 --groups 1 --dist u1,exp --method hv --quiet --reports case > /dev/null 2>&1
expect_eq "$?" 0 "lower-case labels"
[ -f "case/J30-U1-#${label}sch-HV-g1-1.csv" ] && [ -f "case/J30-EXP-#${label}sch-HV-g1-1.csv" ] || fail "lower-case labels name the usual files"
"$program" evaluate --runs 10 --quiet --dist exp --reports case-ev "case/J30-U1-#${label}sch-HV-g1-1.jsonl" > /dev/null 2>&1
[ -f "case-ev/J30-U1-#${label}sch-HV-g1-1-eval-EXP-runs10.csv" ] || fail "evaluate --dist in lower case"
finish
