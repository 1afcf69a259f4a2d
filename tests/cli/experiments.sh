#!/usr/bin/env bash
# Experiments side by side in one folder: runs of other groups, --jobs and merge never replace a
# complete pass; the samples file never takes an input, an output, a folder or a complete file and
# survives a failure and a resume; .part files with finished work are not restarted silently;
# nothing is written through a link; a data set run checks its instance files before solving.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10} j303_{1..10}
label=5000
[ "$config" == extended ] && label=25000
run() { "$program" run --dataset J30 --dist U1 --quiet "$@"; }
ev() { "$program" evaluate --instances Instances --quiet "$@"; }
# Results rows without cpu_seconds and host.
rows() { cut -d, -f1-16,18,19 "$1"; }
# A snapshot of a folder's files and their bytes, to tell that nothing in it changed.
snapshot() { (cd "$1" && for f in *; do echo "$f $(cksum < "$f")"; done); }

# --jobs over another run's groups leaves the complete pass of groups 1-3 as it is.
run --groups 1-3 --reports t || fail "groups 1-3"
before=$(snapshot t)
g13=$(grep -l ',1-3,' t/*.csv)
expect_eq "$(wc -l < "$g13")" 31 "the pass of groups 1-3"
run --groups 1-1 --reports t --jobs 2 2>/dev/null || fail "groups 1-1 with --jobs 2 beside it"
for f in $(cd t && ls | grep -v -e shard -e '-g1-1\.'); do
  expect_eq "$(cksum < "t/$f")" "$(grep "^$f " <<< "$before" | cut -d' ' -f2-)" "--jobs leaves $f alone"
done
expect_eq "$(wc -l < "$g13")" 31 "groups 1-3 keep their 30 rows after --jobs over group 1"
msg=$(run --groups 1-3 --reports t --jobs 2 2>&1); rc=$?
expect_eq "$rc" 2 "--jobs over the same complete pass is refused"
[[ "$msg" == *"this pass is complete"* ]] || fail "the refusal says why: $msg"
ls t/*-g1-3-shard* >/dev/null 2>&1 && fail "a refused --jobs starts no worker"

# merge of another run's shards, and of the shards of the complete pass itself.
mkdir m
for k in 1 2; do run --groups 1-1 --reports m --shard $k/2; run --groups 1-3 --reports m --shard $k/2; done
run --groups 1-3 --reports m
"$program" merge --reports m m/*-g1-1-shard*of2.csv 2>/dev/null || fail "merge of group 1's shards"
expect_eq "$(grep -c ',1-3,' "$(grep -l ',1-3,' m/*.csv | grep -v shard)")" 30 "merge of group 1 leaves groups 1-3 whole"
before=$(snapshot m)
msg=$("$program" merge --reports m m/*-g1-3-shard*of2.csv 2>&1); rc=$?
expect_eq "$rc" 2 "merge over a complete pass is refused"
[[ "$msg" == *"is complete"* ]] || fail "the merge refusal says why: $msg"
expect_eq "$(snapshot m)" "$before" "a refused merge changes nothing"

# The samples file: checked before any work, made final before the evaluation files.
mkdir e
cp "$g13" e/X.csv; cp "${g13%.csv}.jsonl" e/X.jsonl
ev --runs 50 --samples e/s.jsonl e/X.jsonl > /dev/null || fail "evaluate with samples"
cp e/s.jsonl clean-samples.jsonl
ev --runs 50 --samples e/s.jsonl --resume e/X.jsonl > /dev/null || fail "resume of a complete evaluation"
cmp -s e/s.jsonl clean-samples.jsonl || fail "--resume keeps the complete samples file ($(wc -c < e/s.jsonl) bytes)"
cp e/X.jsonl e/Y.jsonl
msg=$(ev --runs 50 --samples e/s.jsonl e/Y.jsonl 2>&1); rc=$?
expect_eq "$rc" 2 "--samples naming another evaluation's complete file"
cmp -s e/s.jsonl clean-samples.jsonl || fail "another input does not replace a samples file"
cp e/X.jsonl input-copy.jsonl
for target in e/X.jsonl e/X.csv "e/X-eval-U1-runs20.csv" e; do
  msg=$(ev --runs 20 --samples "$target" e/X.jsonl 2>&1); rc=$?
  expect_eq "$rc" 2 "--samples $target is refused"
  [[ "$msg" == *"$target"* ]] || fail "the refusal names $target: $msg"
done
cmp -s e/X.jsonl input-copy.jsonl || fail "--samples never writes over an input"
[ -e e/X-eval-U1-runs20.csv ] && fail "a refused evaluation writes nothing"
# A failed final samples copy (a folder in the way of its temporary file) leaves everything
# resumable: the evaluation files stay .part, and --resume completes both.
mkdir f; cp e/X.csv e/X.jsonl f/
mkdir f/s.jsonl.new
ev --runs 50 --samples f/s.jsonl f/X.jsonl > /dev/null 2>&1; expect_eq "$?" 1 "a failed samples copy"
[ -e f/X-eval-U1-runs50.csv ] && fail "the evaluation file is not final before its samples"
rmdir f/s.jsonl.new
ev --runs 50 --samples f/s.jsonl --resume f/X.jsonl > /dev/null || fail "resume after the failed copy"
cmp -s f/s.jsonl clean-samples.jsonl || fail "the resumed samples equal a clean run's"
cmp -s f/X-eval-U1-runs50.csv e/X-eval-U1-runs50.csv || fail "the resumed evaluation equals a clean run's"

# .part files holding finished work are not restarted without --resume.
mkdir p
cp "$g13" "p/$(basename "$g13").part"; cp "${g13%.csv}.jsonl" "p/$(basename "${g13%.csv}").jsonl.part"
before=$(snapshot p)
msg=$(run --groups 1-3 --reports p 2>&1); rc=$?
expect_eq "$rc" 2 "a run over finished .part files"
[[ "$msg" == *"keep 30 finished instances"*"--resume"* ]] || fail "the run says how to continue: $msg"
expect_eq "$(snapshot p)" "$before" "the .part files stay as they were"
cut_evaluation e q X-eval-U1-runs50.csv 7
before=$(snapshot q)
msg=$(ev --runs 50 q/X.jsonl 2>&1); rc=$?
expect_eq "$rc" 2 "an evaluation over a finished .part file"
[[ "$msg" == *"--resume"* ]] || fail "the evaluation says how to continue: $msg"
expect_eq "$(snapshot q)" "$before" "the evaluation .part stays as it was"

# Links in the way of the outputs: replaced, never written through (names of the default run).
mkdir l proj
cp "$psplib/j301_1.sm" proj/a.sm
echo "keep me" > victim.txt
base="l/proj-U1-#${label}sch-LV"
ln -s ../victim.txt "$base.txt.part"
ln -s ../victim.txt "$base.csv.new"
"$program" run --files proj --dist U1 --quiet --reports l || fail "a run with links in the way"
expect_eq "$(cat victim.txt)" "keep me" "a link's target is never written"
[ -L "$base.csv" ] && fail "the final .csv is not a link"
[ -f "$base.csv" ] || fail "the final .csv is a file"
echo "keep me" > victim.txt
ln -s ../victim.txt "l/X-eval-U1.csv.part"
head -n 1 e/X.jsonl > l/X.jsonl
ev l/X.jsonl > /dev/null 2>&1   # refused or done: either way not through the link
expect_eq "$(cat victim.txt)" "keep me" "an evaluation writes through no link"

# A data set run checks every instance file it will solve before solving any.
rm Instances/j302_4.sm
msg=$(run --groups 1-2 --reports missing 2>&1); rc=$?
expect_eq "$rc" 2 "a missing instance file"
[[ "$msg" == *"Instances/j302_4.sm"*"nothing was solved"* ]] || fail "the missing file is named first: $msg"
ls missing/*.part >/dev/null 2>&1 && fail "nothing is solved before the check"

finish
