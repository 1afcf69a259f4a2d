#!/usr/bin/env bash
# tarvo schedule: a J30 policy record of the reference runs printed as CSV and JSON under both of
# its policies, scenario K against run K of tarvo evaluate, and every refusal with exit code 2 and
# nothing on standard output.
source "$(dirname "$0")/lib.bash"
records="$psplib/../golden/batch-J30-U2-#25000sch-HV-g1-3.jsonl"   # group 1 instance 2 has the arc 9 -> 15
schedule() { "$program" schedule --instances "$psplib" "$@"; }

csv=$(schedule "$records" 1 2); rc=$?
expect_eq "$rc" 0 "exit code of a good record"
expect_eq "$(head -n 1 <<<"$csv")" "activity,start,finish,duration,r1,r2,r3,r4,critical" "CSV header"
expect_eq "$(grep -c '^[0-9]*,[0-9.]*,[0-9.]*,[0-9.]*,[0-9]*,[0-9]*,[0-9]*,[0-9]*,[01]$' <<<"$csv")" 32 "one row per activity"
expect_eq "$(sed -n '/^from,to,type$/,$p' <<<"$csv")" $'from,to,type\n9,15,1' "the arc section"
expect_eq "$(sed -n 2p <<<"$csv")" "1,0,0,0,0,0,0,0,1" "the dummy start"
end=$(grep '^32,' <<<"$csv" | cut -d, -f2)
# The end activity is critical, and so is some activity finishing when it starts.
grep -q "^32,.*,1$" <<<"$csv" || fail "the end activity is critical"
awk -F, -v end="$end" 'NF == 9 && $1 != 32 && $3 == end && $9 == 1 { found = 1 } END { exit !found }' <<<"$csv" \
  || fail "an activity finishing at the makespan $end is critical"

json=$(schedule --format json "$records" 1 2)
grep -q "\"makespan\":$end\\.0," <<<"$json" || fail "JSON makespan equals the CSV's end ($end)"
grep -q '"capacities":\[[0-9]*,[0-9]*,[0-9]*,[0-9]*\]' <<<"$json" || fail "JSON capacities"
grep -q '"lower_bound":42.0' <<<"$json" || fail "JSON lower bound"
grep -q '"arcs":\[\[9,15,1\]\]' <<<"$json" || fail "JSON arcs"
grep -q '"rule":"resource-based with arcs"' <<<"$json" || fail "ph2 is resource-based with arcs"
ph1=$(schedule --format json --policy ph1 "$records" 1 2)
grep -q '"rule":"resource-based","scenario":"nominal"' <<<"$ph1" || fail "ph1 of an HV record is resource-based"
grep -q '"arcs":\[\]' <<<"$ph1" || fail "ph1 has no arcs"
lv="$psplib/../golden/batch-J30-U1-#25000sch-LV-g1-3.jsonl"
schedule --format json --policy ph1 "$lv" 3 7 | grep -q '"rule":"activity-based"' || fail "ph1 of an LV record is activity-based"

# Scenario K is run K of tarvo evaluate (same seed and distribution): the makespans of both policies
# in runs 1..5 of the evaluation's samples equal the schedules' makespans.
head -n 2 "$records" | tail -n 1 > one.jsonl
"$program" evaluate --runs 5 --seed 3 --dist U2,EXP --instances "$psplib" --reports ev --samples samples.jsonl --quiet one.jsonl 2>/dev/null \
  >/dev/null || fail "tarvo evaluate of one record"
for dist in U2 EXP; do
  for policy in ph1 ph2; do
    for k in 1 2 3 4 5; do
      schedule --format json --policy $policy --scenario $k --seed 3 --dist $dist "$records" 1 2 > "sched-$dist-$policy-$k.json" \
        || fail "schedule --scenario $k ($dist, $policy)"
    done
  done
done
python3 - "$scratch" <<'PY' || fail "scenario K's makespan equals run K of tarvo evaluate"
import json, sys
folder = sys.argv[1]
samples = [json.loads(line) for line in open(folder + "/samples.jsonl")]
assert len(samples) == 4, len(samples)
for s in samples:
    for k in range(1, 6):
        sched = json.load(open(f"{folder}/sched-{s['eval_distribution']}-{s['policy']}-{k}.json"))
        assert sched["scenario"] == k and sched["eval_distribution"] == s["eval_distribution"]
        assert sched["makespan"] == s["makespans"][k - 1], (s["policy"], k, sched["makespan"], s["makespans"][k - 1])
        ends = max(a["finish"] for a in sched["activities"])
        assert ends == sched["makespan"]
PY

# Refusals: exit code 2, a message, nothing on standard output.
mkdir bad
first=$(head -n 1 "$records")   # group 1 instance 1
sed 's/"list":\[[0-9,]*\]/"list":[1,32]/' <<<"$first" > bad/short.jsonl
printf '%s\nnot json\n' "$first" > bad/garbage.jsonl
sed 's/"arcs":\[[][0-9,]*\]/"arcs":[[32,1,1]]/' <<<"$first" > bad/cycle.jsonl
for args in "$records 1 11" "$records 9 2" "absent.jsonl 1 2" "--scenario x $records 1 2" "--scenario 0 $records 1 2" \
            "--policy ph3 $records 1 2" "--format xml $records 1 2" "$records 1" "$records one 2" \
            "bad/short.jsonl 1 1" "bad/garbage.jsonl 1 1" "bad/cycle.jsonl 1 1" "--levels -1 --scenario 3 $records 1 2"; do
  out=$(schedule $args 2>err); rc=$?
  expect_eq "$rc" 2 "exit code of: $args"
  [ -s err ] || fail "a message for: $args"
  [ -z "$out" ] || fail "no schedule for: $args"
done
out=$("$program" schedule --instances missing "$records" 1 2 2>err); rc=$?
expect_eq "$rc" 2 "exit code of a missing instance folder"
grep -q 'missing/j301_2.sm' err || fail "the missing instance file is named"
grep -q 'bad/short.jsonl: line 1: "list" holds 2 activities' <(schedule bad/short.jsonl 1 1 2>&1) || fail "a short list is named"
grep -q 'bad/garbage.jsonl: line 2: not valid JSON' <(schedule bad/garbage.jsonl 1 1 2>&1) || fail "a bad line is named"
grep -q 'bad/cycle.jsonl: line 1: arc \[32, 1, 1\] closes a cycle' <(schedule bad/cycle.jsonl 1 1 2>&1) || fail "a cycle is named"
finish
