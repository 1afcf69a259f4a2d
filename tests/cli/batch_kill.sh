#!/usr/bin/env bash
# A batch run killed (SIGKILL: no cleanup at all) at 20 random moments and resumed after each
# kill ends with the same .csv and .jsonl as an uninterrupted run (cpu_seconds and host apart).
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10}
label=5000
[ "$config" == extended ] && label=25000
name="J30-B2-#${label}sch-HV-g1-2"
rows() { cut -d, -f1-16,18,19 "$1"; }
now_ms() { date +%s%3N; }

start=$(now_ms)
"$program" run --dataset J30 --groups 1-2 --dist B2 --quiet --reports clean || fail "clean run"
span=$(( $(now_ms) - start ))

# Each kill lands at a random moment within a quarter of a whole run, so the 20 kills fall in the
# start, the solving, the final writes and the cleanup alike; a run that got to its end is
# checked and a fresh one started. The rows kept after each kill are logged.
kills=0 completed=0 kept="" RANDOM=$$
while [ $kills -lt 20 ]; do
  "$program" run --dataset J30 --groups 1-2 --dist B2 --quiet --reports killed --resume 2>resume.err &
  pid=$!
  sleep "$(awk -v r=$RANDOM -v s=$span 'BEGIN { printf "%.3f", r / 32768 * s / 4000 }')"
  kill -KILL $pid 2>/dev/null
  wait $pid 2>/dev/null; rc=$?
  kept+=" $(($(cat killed/*.csv.part 2>/dev/null | wc -l) - 1))"
  case $rc in
    137) kills=$((kills + 1)) ;;
    0) ;;
    *) fail "a resumed run after a kill ended with $rc: $(cat resume.err)"; break ;;
  esac
  if [ -e "killed/$name.csv" ]; then
    completed=$((completed + 1))
    expect_eq "$(rows "killed/$name.csv")" "$(rows "clean/$name.csv")" "killed and resumed: csv (series $completed)"
    cmp -s "killed/$name.jsonl" "clean/$name.jsonl" || fail "killed and resumed: jsonl (series $completed)"
    rm -rf killed
  fi
done
"$program" run --dataset J30 --groups 1-2 --dist B2 --quiet --reports killed --resume || fail "the last resume"
expect_eq "$(rows "killed/$name.csv")" "$(rows "clean/$name.csv")" "killed and resumed: csv"
cmp -s "killed/$name.jsonl" "clean/$name.jsonl" || fail "killed and resumed: jsonl"
ls killed/*.part killed/*.new >/dev/null 2>&1 && fail "scratch files left after the last resume"
echo "$kills kills, $completed series completed under kills; rows kept after each run:$kept"
finish
