#!/usr/bin/env bash
# Batch mode faults that must lose nothing: writes refused by a file-size limit, then resumed;
# policy lines missing, cut or damaged in a resumed run's files; merge of a results file whose
# policies are incomplete.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10}
label=5000
[ "$config" == extended ] && label=25000
name="J30-U1-#${label}sch-LV-g1-2"
one="J30-U1-#${label}sch-LV-g1-1"   # the files of group 1 alone
run() { "$program" run --dataset J30 --groups 1-2 --dist U1 --quiet "$@"; }
# CSV rows without cpu_seconds and host; report lines without the CPU column and time line.
rows() { cut -d, -f1-16,18,19 "$1"; }
lines() { cut -f1-6 "$1" | grep -v '^computation time'; }
same_as_clean() {
  expect_eq "$(rows "$1/$name.csv")" "$(rows "clean/$name.csv")" "$2: csv"
  cmp -s "$1/$name.jsonl" "clean/$name.jsonl" || fail "$2: jsonl differs from a clean run"
  expect_eq "$(lines "$1/$name.txt")" "$(lines "clean/$name.txt")" "$2: report"
  ls "$1"/*.part "$1"/*.new >/dev/null 2>&1 && fail "$2: scratch files left"
}
run --reports clean || fail "clean run"

# A file-size limit: the write fails with EFBIG (SIGXFSZ is ignored by the program), the run
# names the file and the reason, keeps what is complete, and a resume on free space completes it.
if (ulimit -f 2) 2>/dev/null; then
  msg=$( (ulimit -f 2; run --reports full) 2>&1 ); rc=$?
  expect_eq "$rc" 1 "exit code when a write fails"
  [[ "$msg" == *"full/$name."*".part: File too large"* ]] || fail "the failed file and the reason are named: $msg"
  [ -e "full/$name.csv" ] && fail "no final file after a failed write"
  csvRows=$(($(wc -l < "full/$name.csv.part") - 1))
  jsonRows=$(grep -c '}$' "full/$name.jsonl.part")
  [ "$csvRows" -le "$jsonRows" ] || fail "a results row is never written before its policy ($csvRows rows, $jsonRows policies)"
  [ "$csvRows" -lt 20 ] || fail "the limit cut the run short"
  run --reports full --resume || fail "resume after the limit is lifted"
  same_as_clean full "limit lifted and resumed"
else
  echo "skipped: the file-size limit cannot be set here"
fi

# A stopped run's files with policy lines missing or cut: each such instance is solved again,
# whatever its results row says.
"$program" run --dataset J30 --groups 1 --dist U1 --quiet --reports part >/dev/null
mv "part/$one.csv" partial.csv; mv "part/$one.jsonl" partial.jsonl; rm "part/$one.txt"
sed -i 's/1-1,/1-2,/' partial.csv   # the rows of group 1 as a groups 1-2 run wrote them
for case in missing cut; do
  mkdir -p "$case"
  cp partial.csv "$case/$name.csv.part"
  if [ "$case" == missing ]; then sed '4d' partial.jsonl > "$case/$name.jsonl.part"
  else head -c -40 partial.jsonl > "$case/$name.jsonl.part"; fi
  run --reports "$case" --resume || fail "resume with a policy line $case"
  same_as_clean "$case" "policy line $case"
done
# A damaged line inside the policy file is named, with its line, and nothing is overwritten.
mkdir -p damaged
cp partial.csv "damaged/$name.csv.part"
sed '3s/"group":1/"group":61/' partial.jsonl > "damaged/$name.jsonl.part"
msg=$(run --reports damaged --resume 2>&1); rc=$?
expect_eq "$rc" 2 "resume refuses a damaged policy file"
[[ "$msg" == *"$name.jsonl.part: line 3: \"group\" is 61"* ]] || fail "file, line and fault named: $msg"
cmp -s "damaged/$name.csv.part" partial.csv || fail "a refused resume leaves the files alone"

# Merge refuses a results file whose policy file lacks a line (exit 2: the file cannot be used
# as it is), naming the file and the instance, and writes nothing.
for k in 1 2; do "$program" --dataset J30 --groups 1 --dist U1 --quiet --reports shards --shard $k/2; done
sed -i '2d' "shards/$one-shard2of2.jsonl"
msg=$("$program" merge --reports merged shards/*.csv 2>&1); rc=$?
expect_eq "$rc" 2 "merge of a file with a policy missing"
[[ "$msg" == *"shard2of2.jsonl: no complete policy line for instance 4"* ]] || fail "merge names file and instance: $msg"
[ ! -e "merged/$one.csv" ] || fail "merge writes nothing then"

finish
