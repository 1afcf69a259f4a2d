#!/usr/bin/env bash
# tarvo compare end to end on a few J30 policies: refusals (exit 2, a message, nothing written),
# a file against itself, means equal to tarvo evaluate's, the formats, --out, --jobs 2 against one
# process, and the Wilcoxon and Holm figures against SciPy.
source "$(dirname "$0")/lib.bash"
link_instances j301_{1..10} j302_{1..10} j601_1
runs=400
[ "$kind" == sanitized ] && runs=60
cmp_() { "$program" compare --instances Instances --quiet --runs "$runs" "$@"; }

"$program" --dataset J30 --groups 1-2 --dist U2 --method HV --quiet --reports hv
"$program" --dataset J30 --groups 1-2 --dist U2 --method LV --quiet --reports lv
"$program" --dataset J30 --groups 1 --dist B1 --shard 1/5 --quiet --reports b1
"$program" --dataset J60 --groups 1 --dist U2 --shard 1/10 --quiet --reports j60
hv=$(ls hv/*.jsonl); lv=$(ls lv/*.jsonl)
H=$(basename "$hv" .jsonl); L=$(basename "$lv" .jsonl); b1=$(ls b1/*.jsonl); j60=$(ls j60/*.jsonl)

# Refusals: exit code 2, a message naming the fault, no file written.
good=$(head -n 1 "$hv")
mkdir bad
printf '%s\n%s\n' "$good" '{"dataset":"J30",' > bad/json.jsonl
printf '%s\n' "${good/\"list\":\[1,/\"list\":[1,1,}" > bad/list.jsonl
for f in "$hv:fewer than two policies" "$hv $b1:the distribution differs between inputs" \
         "$hv $j60:different data sets" "$hv bad/json.jsonl:bad/json.jsonl: line 2: not valid JSON" \
         "$hv bad/list.jsonl:bad/list.jsonl: line 1: " "$hv missing.jsonl:missing.jsonl" \
         "--format xml $hv $lv:--format" "--policy ph3 $hv $lv:--policy"; do
  args=${f%%:*}; want=${f#*:}
  msg=$(cmp_ --out bad/out.csv $args 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code of: compare $args"
  [[ "$msg" == *"$want"* ]] || fail "message for compare $args: $msg"
done
[ -e bad/out.csv ] && fail "refused comparisons write nothing"
# A batch .csv of another run beside a policy file, and a name that cannot be a CSV field.
mkdir other
cp "$hv" other/x.jsonl; cp "${lv%.jsonl}.csv" other/x.csv
cp "$hv" "bad/a,b.jsonl"
for f in "other/x.jsonl $lv:other/x.csv belongs to another run than other/x.jsonl" \
         "$hv bad/a,b.jsonl:cannot label a CSV field"; do
  args=${f%%:*}; want=${f#*:}
  msg=$(cmp_ --out bad/out.csv $args 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code of: compare $args"
  [[ "$msg" == *"$want"* ]] || fail "message for compare $args: $msg"
done
[ -e bad/out.csv ] && fail "refused comparisons write nothing"
# A distribution named twice is compared once.
cmp_ --dist U2,u2 --format csv "$hv" "$lv" > twice.txt || fail "compare --dist U2,u2"
expect_eq "$(tail -n +2 twice.txt | wc -l)" 2 "one table for a distribution named twice"

# A file against itself: differences exactly 0, every instance the same.
cmp_ --out self.csv "$hv" "$hv" > self.md || fail "compare a file with itself"
expect_eq "$(head -n 1 self.csv)" "dataset,eval_distribution,runs,eval_seed,group,instance,stem,lower_bound,path_bound,base,other,base_mean,other_mean,diff,diff_stderr,diff_ci95_low,diff_ci95_high,p_value,verdict,verdict_holm" "--out header"
expect_eq "$(tail -n +2 self.csv | wc -l)" 20 "one row per instance and comparison"
expect_eq "$(tail -n +2 self.csv | awk -F, '$14 != 0 || $15 != 0 || $19 != "same" || $20 != "same"' | wc -l)" 0 "zero differences"
grep -q "| 0.000 | \[0.000, 0.000\] | 1 | 0/20/0 | 0/20/0 |" self.md || fail "the table of a file against itself: $(cat self.md)"
msg=$(cmp_ --out self.csv "$hv" "$lv" 2>&1 >/dev/null); rc=$?
expect_eq "$rc" 2 "a complete --out file is never overwritten"
[[ "$msg" == *"self.csv exists"* ]] || fail "message for an existing --out: $msg"

# Each policy's mean equals tarvo evaluate's for the same runs and seed, to the last digit.
"$program" evaluate --instances Instances --quiet --runs "$runs" --reports ev "$hv" > /dev/null
for p in ph1 ph2; do
  cmp_ --policy "$p" --out "$p.csv" "$lv" "$hv" > /dev/null || fail "compare --policy $p"
  expect_eq "$(tail -n +2 "$p.csv" | cut -d, -f5,6,13)" "$(grep ",$p," ev/*.csv | cut -d, -f7,8,14)" "$p means equal evaluate's"
done

# --jobs 2 equals one process; the three formats; the LFT base.
cmp_ --baseline lft --format csv --out one.csv "$hv" "$lv" > one.txt || fail "compare --baseline lft"
cmp_ --baseline lft --format csv --out two.csv --jobs 2 "$hv" "$lv" > two.txt || fail "compare --jobs 2"
cmp -s one.csv two.csv || fail "--jobs 2 writes the same rows"
cmp -s one.txt two.txt || fail "--jobs 2 prints the same table"
expect_eq "$(cut -d, -f4 one.txt | tr '\n' ' ')" "input LFT-RB $H $L " "inputs and the LFT base"
cmp_ --format latex "$hv" "$lv" > t.tex || fail "--format latex"
grep -q '\\toprule' t.tex && grep -q "${H/\#/\\\\\#}" t.tex && grep -q 'gap\\_cp' t.tex || fail "latex: $(cat t.tex)"
# --by: one row set per level, the instances split between them.
cmp_ --by group --format csv "$hv" "$lv" > by.txt || fail "compare --by group"
expect_eq "$(cut -d, -f3,4,6 by.txt | tail -n +2 | tr '\n' ' ')" "group=1,$H,10 group=1,$L,10 group=2,$H,10 group=2,$L,10 " "--by group rows"
msg=$(cmp_ --by frobs "$hv" "$lv" 2>&1 >/dev/null); expect_eq "$?" 2 "exit code of --by frobs"
ls ./*.new ./*.part 2>/dev/null && fail "no .new or .part file is left"

# A method's records naming no distribution: compared under the batch file's, or under --dist when
# no input names one; its LV list under rule AB gives the batch run's Phase 1 means.
sed -E 's/"distribution":"U2","method":"LV","config":[0-9]+,/"method":"mine","rule":"AB",/; s/,"inst":[0-9]+,"stream_seed":[0-9]+//; s/,"arcs":.*$/}/' "$lv" > mine.jsonl
cmp_ --policy ph1 --format csv --out mine-rows.csv "$lv" mine.jsonl > mine.txt 2> mine.err || fail "compare with a method's records: $(cat mine.err)"
[[ "$(cat mine.err)" == *"mine.csv not found"* ]] && fail "a method's records need no batch .csv: $(cat mine.err)"
expect_eq "$(tail -n +2 mine-rows.csv | awk -F, '$14 != 0' | wc -l)" 0 "the LV list under AB equals Phase 1"
msg=$(cmp_ mine.jsonl mine.jsonl 2>&1 >/dev/null); expect_eq "$?" 2 "exit code without any distribution"
[[ "$msg" == *"give --dist"* ]] || fail "message without any distribution: $msg"
cmp_ --dist U2 mine.jsonl mine.jsonl > /dev/null || fail "two method files under --dist"

# The Wilcoxon p-value and the Holm verdicts against SciPy and a hand Holm, from the rows.
PY=/usr/bin/python3
if $PY -c "import scipy" 2>/dev/null; then
  $PY - one.csv one.txt <<'PYEOF' || fail "statistics against SciPy"
import csv, sys, warnings
from scipy.stats import wilcoxon
warnings.simplefilter("ignore")
rows = list(csv.DictReader(open(sys.argv[1])))
table = {r["input"]: r for r in csv.DictReader(open(sys.argv[2]))}
bad = 0
for other in sorted({r["other"] for r in rows}):
    rs = [r for r in rows if r["other"] == other]
    gap = lambda m, lb: 100.0 * (m - lb) / lb
    d = [gap(float(r["other_mean"]), float(r["lower_bound"])) - gap(float(r["base_mean"]), float(r["lower_bound"])) for r in rs]
    p = wilcoxon(d, zero_method="pratt", correction=False, mode="approx").pvalue
    if abs(float(table[other]["wilcoxon_p"]) - p) > 1e-3 * p:
        print("wilcoxon", other, table[other]["wilcoxon_p"], p); bad += 1
    ps = [float(r["p_value"]) for r in rs]
    order = sorted(range(len(ps)), key=lambda i: ps[i])
    running, adj = 0.0, [0.0] * len(ps)
    for k, i in enumerate(order):
        running = max(running, min(1.0, (len(ps) - k) * ps[i])); adj[i] = running
    for r, a in zip(rs, adj):
        want = "same" if a >= 0.05 else ("better" if float(r["diff"]) < 0 else "worse")
        if r["verdict_holm"] != want:
            print("holm", r["stem"], r["verdict_holm"], want); bad += 1
sys.exit(1 if bad else 0)
PYEOF
else
  echo "SciPy missing: statistics not checked against it"
fi
finish
