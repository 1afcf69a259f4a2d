#!/usr/bin/env bash
# tarvo schedule of another method's records: each rule gives exactly the schedule of the batch
# policy it restates, and --policy or a scenario without a distribution are refused (exit 2).
source "$(dirname "$0")/lib.bash"
records="$psplib/../golden/batch-J30-U2-#25000sch-HV-g1-3.jsonl"   # group 1 instance 2 has the arc 9 -> 15
schedule() { "$program" schedule --instances "$psplib" "$@"; }

# Group 1 instance 2 of the HV run restated: its list under RB, its list and arcs under RBA.
python3 - "$records" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    if (r["group"], r["instance"]) != (1, 2):
        continue
    base = {"list": r["list"], "instance": 2, "group": 1, "dataset": "J30", "method": "mine"}
    open("rb.jsonl", "w").write(json.dumps(dict(base, rule="RB")) + "\n")
    open("rba.jsonl", "w").write(json.dumps(dict(base, rule="RBA", arcs=r["arcs"], distribution="U2")) + "\n")
PY
[ -s rb.jsonl ] && [ -s rba.jsonl ] || fail "the restated records written"
for k in nominal 7; do
  expect_eq "$(schedule --scenario $k --dist U2 rb.jsonl 1 2)" "$(schedule --scenario $k --dist U2 --policy ph1 "$records" 1 2)" \
    "RB of the list, scenario $k, against ph1"
  expect_eq "$(schedule --scenario $k rba.jsonl 1 2)" "$(schedule --scenario $k "$records" 1 2)" \
    "RBA of the list and arcs, scenario $k, against ph2"
done
json=$(schedule --format json rba.jsonl 1 2)
python3 -c "import json,sys; h=json.loads(sys.argv[1]); assert (h['method'], h['policy'], h['distribution']) == ('mine', 'RBA', 'U2'), h" \
  "$json" || fail "the JSON head names the method and its rule"
python3 -c "import json,sys; h=json.loads(sys.argv[1]); assert h['distribution'] is None and h['policy'] == 'RB', h" \
  "$(schedule --format json rb.jsonl 1 2)" || fail "a record without distribution: null in the JSON head"

# Records naming project files: K is the K-th line, as a file run's K-th file.
python3 - "$records" "$psplib" <<'PY'
import json, sys
with open("files.jsonl", "w") as out:
    for line in open(sys.argv[1]):
        r = json.loads(line)
        if r["group"] == 1 and r["instance"] in (3, 2):
            stem = "j301_%d" % r["instance"]
            out.write(json.dumps({"dataset": "mine30", "file": "%s/%s.sm" % (sys.argv[2], stem), "stem": stem,
                                  "method": "mine", "rule": "RB", "list": r["list"]}) + "\n")
PY
expect_eq "$(head -c 60 files.jsonl | grep -c mine30)" 1 "the file records written"
second=$(sed -n 2p files.jsonl | python3 -c "import json,sys; print(json.load(sys.stdin)['stem'])")
expect_eq "$(schedule files.jsonl 2)" "$(schedule files.jsonl "$second")" "K names the K-th line of another method's file records"
expect_eq "$(schedule files.jsonl j301_2)" "$(schedule --policy ph1 "$records" 1 2)" "a file record's schedule"

out=$(schedule --policy ph1 rb.jsonl 1 2 2>err); rc=$?
expect_eq "$rc" 2 "--policy with a record of another method"
[ -z "$out" ] || fail "nothing on standard output when refused"
grep -q "rb.jsonl: line 1: a record of method mine holds one policy (rule RB): leave --policy out" err \
  || fail "message for --policy: $(cat err)"
out=$(schedule --scenario 3 rb.jsonl 1 2 2>err); rc=$?
expect_eq "$rc" 2 "a scenario without a distribution"
grep -q "rb.jsonl: line 1: the record names no distribution it was made for: give the scenario's with --dist" err \
  || fail "message without --dist: $(cat err)"
finish
