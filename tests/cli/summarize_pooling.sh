#!/usr/bin/env bash
# summarize never pools different experiments: evaluations of other runs or seeds, and runs of
# other instance sets, are rows apart (columns groups, runs, eval_seed), whatever the order of the
# files; an evaluation made without its run's .csv joins that run instead of counting as a seed.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10}
label=5000
[ "$config" == extended ] && label=25000
run() { "$program" run --dataset J30 --dist U1 --quiet "$@"; }
ev() { "$program" evaluate --instances Instances --quiet "$@" > /dev/null; }
sum() { "$program" summarize --format csv "$@"; }
# Column $1 of the data rows of a summary, sorted, on one line.
col() { sed 1d | cut -d, -f"$1" | sort | tr '\n' ' '; }

# Two evaluations of one run (other runs, another seed): rows apart, in any order of the files.
run --groups 1-1 --reports b || fail "the run"
b=$(ls b/J30-U1-*.csv); b=${b%.csv}
ev --runs 100 --reports e1 "$b.jsonl" || fail "100 runs"
ev --runs 40 --reports e2 "$b.jsonl" || fail "40 runs"
ev --runs 100 --seed 2 --reports e3 "$b.jsonl" || fail "100 runs, seed 2"
sum "$b.csv" e1/*.csv e2/*.csv e3/*.csv > forward.csv || fail "summarize three evaluations"
sum e3/*.csv e2/*.csv e1/*.csv "$b.csv" > backward.csv || fail "summarize them the other way round"
cmp -s forward.csv backward.csv || fail "the order of the files decides nothing"
head -n 1 forward.csv | grep -q ',groups,runs,eval_seed,bias_time_mean,eval_ph1_gap_path_mean,eval_ph2_gap_path_mean$' || fail "groups, runs and eval_seed columns"
expect_eq "$(wc -l < forward.csv)" 4 "one row per evaluation"
expect_eq "$(col 20 < forward.csv)" "100 100 40 " "the rows' runs"
expect_eq "$(col 21 < forward.csv)" "1 1 2 " "the rows' evaluation seeds"
expect_eq "$(col 7 < forward.csv)" "1 1 1 " "each evaluation is one seed of its run"
expect_eq "$(cut -d, -f8 forward.csv | sed 1d | sort -u | wc -l)" 1 "each row takes the run's own batch columns"

# Seed 1 over groups 1-2 and seeds 2-3 over group 1: other instance sets, rows apart.
run --groups 1-2 --reports s || fail "seed 1 over groups 1-2"
run --groups 1-1 --seeds 2-3 --reports s || fail "seeds 2-3 over group 1"
sum s/*.csv > sets.csv || fail "summarize the seeds"
expect_eq "$(wc -l < sets.csv)" 3 "a row per instance set"
expect_eq "$(sed 1d sets.csv | cut -d, -f6,7,19 | sort | tr '\n' ' ')" "10,2,1-1 20,1,1-2 " \
  "instances, seeds and groups per row"

# An evaluation made without the run's .csv beside it joins that run, as one seed.
mkdir n
cp "$b.jsonl" n/X.jsonl
"$program" evaluate --instances Instances --quiet --runs 100 n/X.jsonl > /dev/null 2>&1 || fail "evaluate without the .csv"
expect_eq "$(cut -d, -f6 n/X-eval-U1-runs100.csv | sed -n 2p)" "" "no run_seed without the .csv"
sum "$b.csv" n/*-eval-*.csv > joined.csv || fail "summarize the run and that evaluation"
expect_eq "$(wc -l < joined.csv)" 2 "one row"
expect_eq "$(col 7 < joined.csv)" "1 " "one seed"
expect_eq "$(sed 1d joined.csv | cut -d, -f8-15)" "$(sum "$b.csv" e1/*.csv | sed 1d | cut -d, -f8-15)" \
  "the same figures as the evaluation made beside the .csv"
run --groups 1-1 --seed 2 --reports b || fail "a second seed of the run"
msg=$(sum b/*.csv n/*-eval-*.csv 2>&1); rc=$?
expect_eq "$rc" 2 "an evaluation without run_seed beside two seeds of its run"
[[ "$msg" == *"n/X-eval-U1-runs100.csv"*"run_seed"* ]] || fail "the refusal names the file: $msg"

finish
