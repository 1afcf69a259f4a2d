#!/usr/bin/env bash
# A --jobs run whose parent is killed outright (SIGKILL: it cannot pass the stop on) leaves no
# worker working on: each stops as after SIGTERM, keeping its shard's .part files, and a resumed
# run ends with the same .csv and .jsonl as an uninterrupted one (cpu_seconds and host apart).
source "$(dirname "$0")/lib.bash"
link_instances j30{1..48}_{1..10}
label=5000
[ "$config" == extended ] && label=25000
name="J30-U2-#${label}sch-HV"
rows() { cut -d, -f1-16,18,19 "$1"; }
run() { "$program" run --dataset J30 --groups 1-48 --dist U2 --jobs 2 --quiet "$@"; }

run --reports clean || fail "clean run"

# Started directly, not through run(): a function in the background is a subshell of its own.
"$program" run --dataset J30 --groups 1-48 --dist U2 --jobs 2 --quiet --reports killed 2>killed.err &
parent=$!
# The parent is killed once a worker has kept its first row, with most of the work still to do.
for _ in $(seq 600); do
  [ "$(cat killed/*.csv.part 2>/dev/null | wc -l)" -gt 2 ] && break
  sleep 0.05
done
workers=$(ps -o pid= --ppid "$parent")
kill -KILL "$parent"
wait "$parent" 2>/dev/null
expect_eq "$(echo $workers | wc -w)" "2" "workers running when the parent was killed"
# A worker is gone when it no longer exists or is a zombie waiting for a reaper.
alive() { [ -e "/proc/$1" ] && ! grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
for _ in $(seq 1200); do
  left=0
  for w in $workers; do alive "$w" && left=$((left + 1)); done
  [ "$left" -eq 0 ] && break
  sleep 0.05
done
expect_eq "$left" "0" "workers still running a minute after their parent was killed"
ls killed/*shard*of2.csv >/dev/null 2>&1 && fail "a worker finished its shard after its parent was killed"
ls killed/*shard*of2.csv.part >/dev/null 2>&1 || fail "the workers kept no .part files"

run --reports killed --resume || fail "the resumed run"
expect_eq "$(rows "killed/$name.csv")" "$(rows "clean/$name.csv")" "killed and resumed: csv"
cmp -s "killed/$name.jsonl" "clean/$name.jsonl" || fail "killed and resumed: jsonl"
finish
