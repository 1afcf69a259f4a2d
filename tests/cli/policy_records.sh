#!/usr/bin/env bash
# tarvo evaluate of policies made by other methods and of the LFT-RB reference policy: bad records
# refused with their messages (exit 2, nothing written), a batch policy given as another method's
# record gives exactly the batch evaluation's figures, and --policy lft on a small J30 run.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10}
runs=200
[ "$kind" == sanitized ] && runs=40
ev() { "$program" evaluate --instances Instances --quiet --runs "$runs" "$@"; }

# Policies of a small batch run: U2 is searched by HV, B1 by LV (instances 1 and 6 of group 1).
"$program" --dataset J30 --groups 1 --dist U2,B1 --shard 1/5 --quiet --reports batch
hv=$(ls batch/J30-U2-*-shard1of5.jsonl)
lv=$(ls batch/J30-B1-*-shard1of5.jsonl)
[ -f "$hv" ] && [ -f "$lv" ] || fail "the batch run wrote its policy files"

# The batch records rewritten as another method's: rule, method, keys in another order.
as_method() {  # input rule method [keep-arcs] [with-distribution]
  python3 - "$@" <<'PY'
import json, sys
src, rule, method = sys.argv[1:4]
keep = len(sys.argv) > 4 and sys.argv[4] == "arcs"
dist = len(sys.argv) > 5
for line in open(src):
    r = json.loads(line)
    out = {"rule": rule, "method": method, "list": r["list"], "instance": r["instance"], "group": r["group"],
           "dataset": r["dataset"]}
    if keep: out["arcs"] = r["arcs"]
    if dist: out["distribution"] = r["distribution"]
    print(json.dumps(out, separators=(",", ":")))
PY
}
mkdir m
as_method "$lv" AB lvlist > m/ab.jsonl
as_method "$hv" RB hvlist > m/rb.jsonl
as_method "$hv" RBA hvarcs arcs dist > m/rba.jsonl

# ---- Bad records: each refused with its message, exit 2, nothing written ----
good=$(head -n 1 m/ab.jsonl)
mkdir bad
printf '%s\n' "${good/\"rule\":\"AB\"/\"rule\":\"XB\"}" > bad/rule.jsonl
printf '%s\n' "${good/\"method\":\"lvlist\"/\"method\":\"has space\"}" > bad/method.jsonl
printf '%s\n' "${good/\"rule\":\"AB\"/\"rule\":\"RB\",\"arcs\":[[2,3,1]]}" > bad/arcs.jsonl
printf '%s\n' "${good/\"rule\":\"AB\"/\"rule\":\"AB\",\"distribution\":\"U9\"}" > bad/dist.jsonl
printf '%s\n' "${good/\"rule\":\"AB\"/\"rule\":\"AB\",\"colour\":3}" > bad/key.jsonl
printf '%s\n' "${good/\"list\":\[1,/\"list\":[1,1,}" > bad/list.jsonl
{ head -n 1 "$lv"; echo "$good"; } > bad/mixed.jsonl
{ echo "$good"; sed -n 2p m/ab.jsonl | sed 's/"lvlist"/"other"/'; } > bad/methods.jsonl
for f in rule:"line 1: \"rule\" is \"XB\", not a known name (AB, RB or RBA)" \
         method:"line 1: \"method\" is \"has space\", not a label" \
         arcs:"line 1: \"arcs\" holds 1 arcs, but rule \"RB\" runs the list without arcs" \
         dist:"line 1: \"distribution\" is \"U9\"" key:"line 1: \"colour\" is not a key" \
         list:"line 1: \"list\" holds 33 activities" \
         mixed:"line 2: a record of another method" methods:"line 2: "; do
  name=${f%%:*}; want=${f#*:}
  msg=$(ev --dist U2 "bad/$name.jsonl" 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code for bad/$name.jsonl"
  [[ "$msg" == *"bad/$name.jsonl: $want"* ]] || fail "message for bad/$name.jsonl: $msg"
done
[ -z "$(ls bad | grep -v '\.jsonl$')" ] || fail "nothing written for bad records: $(ls bad)"
# Without a distribution in the records, --dist is needed.
msg=$(ev m/ab.jsonl 2>&1 >/dev/null); rc=$?
expect_eq "$rc" 2 "exit code without --dist"
[[ "$msg" == *"m/ab.jsonl"*"--dist"* ]] || fail "message without --dist: $msg"
[ -z "$(ls m | grep -v '\.jsonl$')" ] || fail "nothing written without --dist: $(ls m)"

# ---- Another method's record of a batch list gives the batch evaluation's figures ----
ev --dist B1 "$lv" >/dev/null || fail "evaluate of the LV batch policies"
ev --dist U2 "$hv" >/dev/null || fail "evaluate of the HV batch policies"
ev --dist B1 m/ab.jsonl >/dev/null || fail "evaluate of the AB records"
ev --dist U2 m/rb.jsonl >/dev/null || fail "evaluate of the RB records"
ev m/rba.jsonl >/dev/null || fail "evaluate of the RBA records (distribution from the records)"
lvbase=${lv%.jsonl}; hvbase=${hv%.jsonl}
figures() {  # file policy: group, instance, lower bound, mean .. gap
  awk -F, -v p="$2" 'NR > 1 && $9 == p { print $7, $8, $12, $14, $15, $16, $17, $18, $19, $20, $21, $22, $23 }' "$1"
}
ab=m/ab-eval-B1-runs$runs-method-lvlist.csv
rb=m/rb-eval-U2-runs$runs-method-hvlist.csv
rba=m/rba-eval-U2-runs$runs-method-hvarcs.csv
for f in "$ab" "$rb" "$rba"; do [ -f "$f" ] || fail "$f written"; done
expect_eq "$(figures "$ab" AB)" "$(figures "$lvbase-eval-B1-runs$runs.csv" ph1)" "AB of the LV list against ph1"
expect_eq "$(figures "$rb" RB)" "$(figures "$hvbase-eval-U2-runs$runs.csv" ph1)" "RB of the HV list against ph1"
expect_eq "$(figures "$rba" RBA)" "$(figures "$hvbase-eval-U2-runs$runs.csv" ph2)" "RBA with the arcs against ph2"
[ -n "$(figures "$ab" AB)" ] || fail "AB rows present"
# The rows of one policy: the method's label, config, run_seed, in_sample and paired columns empty.
row=$(sed -n 2p "$ab")
IFS=, read -r -a f <<< "$row"
expect_eq "${f[1]}|${f[3]}|${f[4]}|${f[5]}|${f[8]}|${f[12]}|${f[24]}|${f[25]}" "|lvlist|||AB|||" "AB row fields"
expect_eq "$(cut -d, -f2 "$rba" | sed -n 2p)" "U2" "the records' distribution in the RBA rows"
expect_eq "$(($(wc -l < "$ab") - 1))" "2" "one row per record"
# Again refuses the complete file; --resume keeps it.
ev --dist B1 m/ab.jsonl >/dev/null 2>&1; expect_eq "$?" 2 "a complete evaluation is not overwritten"
ev --dist B1 --resume m/ab.jsonl >/dev/null || fail "--resume of a complete evaluation"
# A stopped evaluation of one policy per record resumes from its .part: one row kept, one made.
cut_evaluation m cut "$(basename "$ab")" 2
msg=$(ev --dist B1 cut/ab.jsonl 2>&1 >/dev/null); rc=$?
expect_eq "$rc" 2 "a .part with rows is not restarted without --resume"
[[ "$msg" == *"keeps 1 finished instances"* ]] || fail "message of the kept .part: $msg"
ev --dist B1 --resume cut/ab.jsonl >/dev/null || fail "--resume of a cut evaluation of AB records"
expect_eq "$(cat "cut/$(basename "$ab")")" "$(cat "$ab")" "the resumed evaluation equals the whole one"
# Samples lines carry the rule as the policy.
ev --dist U2 --samples m/rb-samples.jsonl --reports s m/rb.jsonl >/dev/null || fail "samples of RB records"
expect_eq "$(python3 -c "import json,sys; print(sorted({json.loads(l)['policy'] for l in open('m/rb-samples.jsonl')}))")" \
  "['RB']" "the samples' policy"

# ---- --policy lft: LFT-RB per instance, from batch and from other methods' records alike ----
out=$(ev --dist U2 --policy lft "$hv") || fail "evaluate --policy lft"
lft=$hvbase-eval-U2-runs$runs-lft.csv
[ -f "$lft" ] || fail "$lft written"
[ -f "$hvbase-eval-U2-runs$runs.csv" ] || fail "the plain evaluation kept beside the LFT one"
expect_eq "$(awk -F, 'NR > 1 { print $4, $9, $5 }' "$lft" | sort -u)" "LFT RB " "LFT rows: method LFT, policy RB, no config"
expect_eq "$(($(wc -l < "$lft") - 1))" "2" "one LFT row per instance"
[[ "$out" == *"LFT-RB"* ]] || fail "the summary names LFT-RB: $out"
# The same instances from another method's file: the same LFT figures.
ev --dist U2 --policy lft m/rb.jsonl >/dev/null || fail "evaluate --policy lft of method records"
expect_eq "$(figures m/rb-eval-U2-runs$runs-lft.csv RB)" "$(figures "$lft" RB)" "LFT-RB depends only on the instance"
finish
