#!/usr/bin/env bash
# Batch mode: commands, flags and their refusals, the single stream against the menu run,
# per-instance streams, shards merged (with GNU parallel when present) and --jobs against one
# process, replications over seeds, a run stopped by SIGTERM and resumed, merge refusing foreign
# or incomplete files, Slurm defaults.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10}
run() { "$program" --dataset J30 --groups 1-2 --quiet "$@"; }
label=5000
[ "$config" == extended ] && label=25000
# Report lines without the CPU column and the computation time line.
lines() { cut -f1-6 "$1" | grep -v '^computation time'; }
# CSV rows without groups, cpu_seconds, version and host.
rows() { cut -d, -f1-5,7-16,18 "$1"; }

# Flags.
"$program" --help | grep -q -- '--single-stream' || fail "--help lists the flags"
"$program" run --help | grep -q -- '--seeds' || fail "run --help lists the flags"
"$program" --version | grep -q "report label $label" || fail "--version names the configuration"
for bad in "--dataset J31" "--dataset J30 --dist U3" "--dataset J30 --groups 0-2" "--dataset J30 --groups 40-49" \
           "--dataset J30 --method XV" "--dataset J30 --shard 3/2" "--dataset J30 --seed x" "--dist U1" \
           "--dataset J30 --jobs 0" "--dataset J30 --frobnicate" "--dataset J30 --single-stream --shard 1/2" \
           "--dataset J30 --single-stream --resume" "--dataset" "run --dataset J31" "--dataset J30 --quiet=yes" \
           "--dataset J30 --seed 1 --seeds 1-2" "--dataset J30 --seeds 3-2" "--dataset J30 --seeds 4" \
           "--dataset J30 --single-stream --seeds 1-2" "frobnicate --dataset J30" "merge --frobnicate" "merge"; do
  msg=$("$program" $bad 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code of: $bad"
  [ -n "$msg" ] || fail "a message for: $bad"
done
[ ! -e Reports ] || fail "refused runs write nothing"

# --single-stream gives the menu run's lines: the menu run stops at the missing j303_1.
printf '1\n1\n2\n' | "$program" >/dev/null
run --dist U1 --method LV --single-stream --reports single
expect_eq "$(lines single/J30-U1-#${label}sch-LV-g1-2-single.txt)" "$(lines Reports/*-J30-U1-*.txt)" "single stream equals the menu run"
grep -q '^Average of Gap Percents after Phase 2' single/J30-U1-#${label}sch-LV-g1-2-single.txt || fail "single-stream summary"

# Per-instance streams: group 2 alone equals group 2 inside the whole run; csv and jsonl complete.
run --dist B2 --reports whole
"$program" --dataset J30 --groups 2 --quiet --dist B2 --reports alone
expect_eq "$(rows alone/J30-B2-#${label}sch-HV-g2-2.csv | tail -n 10)" "$(rows whole/J30-B2-#${label}sch-HV-g1-2.csv | tail -n 10)" \
  "an instance's result does not depend on the others"
expect_eq "$(wc -l < whole/J30-B2-#${label}sch-HV-g1-2.csv)" 21 "csv rows"
expect_eq "$(wc -l < whole/J30-B2-#${label}sch-HV-g1-2.jsonl)" 20 "policy records"
grep -q '"list":\[1,' whole/J30-B2-#${label}sch-HV-g1-2.jsonl || fail "policy records hold the list"
ls whole/*.part >/dev/null 2>&1 && fail "no .part file is left after a complete pass"

# Shards merged equal one process, --jobs 2 equals --jobs 1.
if command -v parallel >/dev/null; then
  parallel --will-cite "$program" --dataset J30 --groups 1-2 --quiet --dist B2 --reports shards --shard {}/3 ::: 1 2 3
else
  for k in 1 2 3; do run --dist B2 --reports shards --shard $k/3; done
fi
"$program" merge --reports shards shards/*-shard*of3.csv 2>/dev/null || fail "merge of three shards"
expect_eq "$(lines shards/J30-B2-#${label}sch-HV-g1-2.txt)" "$(lines whole/J30-B2-#${label}sch-HV-g1-2.txt)" "merged shards equal one process"
expect_eq "$(rows shards/J30-B2-#${label}sch-HV-g1-2.csv)" "$(rows whole/J30-B2-#${label}sch-HV-g1-2.csv)" "merged rows equal one process"
run --dist B2 --reports jobs --jobs 2 2>/dev/null || fail "--jobs 2 ends cleanly"
expect_eq "$(lines jobs/J30-B2-#${label}sch-HV-g1-2.txt)" "$(lines whole/J30-B2-#${label}sch-HV-g1-2.txt)" "--jobs 2 equals --jobs 1"

# Replications: --seeds 1-3 gives one set of files per seed (-seedN but for seed 1), each equal to
# a run of that seed alone, also through --jobs.
run --dist U1 --groups 1 --seeds 1-3 --reports reps || fail "a run over three seeds"
base="J30-U1-#${label}sch-LV-g1-1"
for f in "$base" "$base-seed2" "$base-seed3"; do
  [ -e "reps/$f.csv" ] && [ -e "reps/$f.jsonl" ] && [ -e "reps/$f.txt" ] || fail "files of one seed: reps/$f"
done
"$program" run --dataset J30 --groups 1 --quiet --dist U1 --seed 2 --reports seed2
expect_eq "$(rows reps/$base-seed2.csv)" "$(rows seed2/$base-seed2.csv)" "seed 2 of --seeds equals --seed 2"
cmp -s reps/$base-seed2.jsonl seed2/$base-seed2.jsonl || fail "seed 2 policies equal --seed 2"
[ "$(rows reps/$base.csv)" != "$(rows reps/$base-seed3.csv)" ] || fail "seeds give different replications"
run --dist U1 --groups 1 --seeds 2-3 --jobs 2 --reports repjobs 2>/dev/null || fail "--seeds with --jobs"
for f in "$base-seed2" "$base-seed3"; do
  expect_eq "$(rows repjobs/$f.csv)" "$(rows reps/$f.csv)" "--jobs 2 per seed: $f"
done

# Merge refuses files of another run and names missing instances.
"$program" --dataset J30 --groups 1-2 --quiet --dist B2 --reports other --seed 7 --shard 1/3
msg=$("$program" merge --reports m shards/J30-B2-#${label}sch-HV-g1-2-shard2of3.csv other/*.csv 2>&1); rc=$?
expect_eq "$rc" 2 "merge of two runs is refused"
[[ "$msg" == *"belong to different runs"* ]] || fail "merge names the conflict: $msg"
msg=$("$program" merge --reports m shards/J30-B2-#${label}sch-HV-g1-2-shard2of3.csv 2>&1); rc=$?
expect_eq "$rc" 1 "merge with instances missing"
[[ "$msg" == *"j301_1 "* && "$msg" == *"j302_9"* ]] || fail "missing instances named: $msg"
[ ! -e "m/J30-B2-#${label}sch-HV-g1-2.txt" ] || fail "nothing written when instances are missing"

# Stopped by SIGTERM after the first rows, then resumed: the same as an uninterrupted run.
# The program itself in the background, not through the run function: a signal to a subshell
# would leave the program running on unseen.
"$program" --dataset J30 --groups 1-2 --quiet --dist B2 --reports stop &
pid=$!
for _ in $(seq 1 600); do
  [ "$(cat stop/*.csv.part 2>/dev/null | wc -l)" -ge 3 ] && break
  sleep 0.05
done
kill -TERM "$pid"
wait "$pid"; rc=$?
if [ -e "stop/J30-B2-#${label}sch-HV-g1-2.csv" ]; then
  echo "note: the run ended before the signal arrived"
else
  expect_eq "$rc" 143 "exit code after SIGTERM"
  run --dist B2 --reports stop --resume || fail "resumed run ends cleanly"
fi
expect_eq "$(lines stop/J30-B2-#${label}sch-HV-g1-2.txt)" "$(lines whole/J30-B2-#${label}sch-HV-g1-2.txt)" "stopped and resumed equals uninterrupted"
expect_eq "$(rows stop/J30-B2-#${label}sch-HV-g1-2.csv)" "$(rows whole/J30-B2-#${label}sch-HV-g1-2.csv)" "resumed rows"
run --dist B2 --reports stop 2>/dev/null; expect_eq "$?" 2 "a complete pass is not overwritten"

# Slurm array variables choose the shard when --shard is not given.
SLURM_ARRAY_TASK_ID=4 SLURM_ARRAY_TASK_MIN=3 SLURM_ARRAY_TASK_MAX=5 run --dist U1 --groups 1 --reports slurm
ls "slurm/J30-U1-#${label}sch-LV-g1-1-shard2of3.csv" >/dev/null 2>&1 || fail "Slurm task 4 of 3..5 is shard 2/3"
expect_eq "$(wc -l < "slurm/J30-U1-#${label}sch-LV-g1-1-shard2of3.csv")" 4 "shard 2/3 of 10 instances holds 3"

finish
