#!/usr/bin/env bash
# One writer per experiment: a run of other groups beside a running one touches none of its files;
# a second process on the same files is refused while the first holds them, and may go on once
# the first has died (even by SIGKILL); evaluate, merge and --jobs refuse files another holds.
source "$(dirname "$0")/lib.bash"
link_instances j120{1..5}_{1..10} j301_{1..10}
label=5000
[ "$config" == extended ] && label=25000
run() { "$program" run --dataset J120 --dist U1 --quiet "$@"; }
a="r/J120-U1-#${label}sch-LV-g1-5"
rows_of() { echo $(($(wc -l < "$1") - 1)); }
# Waits (at most a minute) until the file $1 holds at least $2 lines.
wait_rows() {
  for _ in $(seq 1 1200); do
    [ "$(cat "$1" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
    sleep 0.05
  done
  return 1
}

# A runs groups 1-5; B runs group 1 to its end meanwhile; then A is stopped. The program itself
# runs in the background, not through the run function, so that its pid is the one signalled.
"$program" run --dataset J120 --dist U1 --quiet --groups 1-5 --reports r 2>a.err &
pid=$!
wait_rows "$a.csv.part" 3 || fail "the first run started"
run --groups 1-1 --reports r || fail "a run of group 1 beside it"
[ -e "$a.csv.part" ] && [ -e "$a.jsonl.part" ] || fail "the other run's end leaves the running one's files"
# A second writer of A's files is refused while A runs, and writes nothing.
msg=$(run --groups 1-5 --reports r --resume 2>&1); rc=$?
if kill -0 "$pid" 2>/dev/null; then
  expect_eq "$rc" 2 "a second writer of the same files"
  [[ "$msg" == *"another tarvo process (pid $pid) is writing the files $a.*"* ]] || fail "the holder is named: $msg"
fi
kill -TERM "$pid" 2>/dev/null
wait "$pid"; rc=$?
if [ "$rc" -eq 143 ]; then
  kept=$(sed -n 's/.*keep \([0-9]*\) finished instances.*/\1/p' a.err)
  expect_eq "$(rows_of "$a.csv.part")" "$kept" "the stopped run's files keep what it says"
else
  echo "note: the first run ended before the signal ($rc)"
fi

# A holder killed outright leaves its lock file, but not its lock.
if [ ! -e "$a.csv" ]; then
  "$program" run --dataset J120 --dist U1 --quiet --groups 1-5 --reports r --resume 2>/dev/null &
  pid=$!
  sleep 0.5
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
fi
run --groups 1-5 --reports r --resume || fail "resume after the holder was killed"
expect_eq "$(rows_of "$a.csv")" 50 "the resumed run holds all its instances"
expect_eq "$(rows_of "r/J120-U1-#${label}sch-LV-g1-1.csv")" 10 "the run of group 1 keeps its instances"
ls r/*.part >/dev/null 2>&1 && fail "no .part file is left"

# Locks held by another process (here the shell, through flock) are refused by every writer.
hold() { ( exec 9>"$1"; flock -n 9 || exit 1; exec sleep 60 ) & holder=$!; sleep 0.2; }
mkdir j
t="j/J30-U1-#${label}sch-LV-g1-1"
hold "$t.lock"
msg=$("$program" run --dataset J30 --groups 1-1 --dist U1 --quiet --reports j --jobs 2 2>&1); rc=$?
expect_eq "$rc" 2 "--jobs while another holds the run's files"
[[ "$msg" == *"another tarvo process"*"$t.lock"* ]] || fail "--jobs names the lock: $msg"
ls j/*shard* >/dev/null 2>&1 && fail "no worker starts then"
for k in 1 2; do "$program" run --dataset J30 --groups 1-1 --dist U1 --quiet --reports j --shard $k/2; done
msg=$("$program" merge --reports j j/*-shard*of2.csv 2>&1); rc=$?
expect_eq "$rc" 2 "merge while another holds the run's files"
[ -e "$t.csv" ] && fail "the refused merge writes nothing"
kill "$holder"; wait "$holder" 2>/dev/null
"$program" merge --reports j j/*-shard*of2.csv 2>/dev/null || fail "merge once the holder is gone"
cp "$t.csv" j/X.csv; cp "$t.jsonl" j/X.jsonl
hold j/X-eval-U1-runs20.lock
msg=$("$program" evaluate --instances Instances --quiet --runs 20 j/X.jsonl 2>&1); rc=$?
expect_eq "$rc" 2 "evaluate while another holds its files"
[[ "$msg" == *"j/X-eval-U1-runs20.lock"* ]] || fail "evaluate names the lock: $msg"
kill "$holder"; wait "$holder" 2>/dev/null
hold j/s.jsonl.lock
"$program" evaluate --instances Instances --quiet --runs 20 --samples j/s.jsonl j/X.jsonl > /dev/null 2>&1
expect_eq "$?" 2 "evaluate while another holds its samples file"
kill "$holder"; wait "$holder" 2>/dev/null
"$program" evaluate --instances Instances --quiet --runs 20 --samples j/s.jsonl j/X.jsonl > /dev/null || fail "evaluate once free"

finish
