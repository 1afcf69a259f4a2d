#!/usr/bin/env bash
# Readers of damaged lines end to end: a resumed evaluation over a samples .part whose line has a
# key of the wrong type or range, and summarize over evaluation rows with values tarvo never
# writes, are refused with file, line and key (exit 2), never a crash; LaTeX tables compile with
# any run name.
source "$(dirname "$0")/lib.bash"
label=5000
[ "$config" == extended ] && label=25000
link_instances j301_{1..10}
"$program" --dataset J30 --groups 1 --dist U1 --quiet --reports r
base="J30-U1-#${label}sch-LV-g1-1"
"$program" evaluate --runs 20 --quiet --samples r/s.jsonl "r/$base.jsonl" > /dev/null
[ -f r/s.jsonl ] && [ -f "r/$base-eval-U1-runs20.csv" ] || fail "the evaluation wrote its files"

# An interrupted evaluation as it leaves its files: both .part, the samples lines named by their
# results file; then line 3 of the samples damaged.
interrupted() {
  rm -rf p && mkdir p && cp "r/$base.jsonl" "r/$base.csv" p/
  cp "r/$base-eval-U1-runs20.csv" "p/$base-eval-U1-runs20.csv.part"
  sed "s/^/$base-eval-U1-runs20.csv\t/" r/s.jsonl > p/s.jsonl.part
  [ -n "$1" ] && sed -i "3s/$1/$2/" p/s.jsonl.part
}
resume() { "$program" evaluate --runs 20 --quiet --resume --samples p/s.jsonl "p/$base.jsonl"; }
interrupted
resume > /dev/null 2>&1; expect_eq "$?" 0 "resume of an undamaged interrupted evaluation"
cmp -s p/s.jsonl r/s.jsonl || fail "the resumed samples equal the uninterrupted ones"
for damage in '"group":1,/"group":"1",' '"policy":"ph1"/"policy":7' '"group":1,/"group":99999999999,' \
              '"runs":20/"runs":1' '"mean":[0-9.]*/"mean":null'; do
  interrupted "${damage%%/*}" "${damage#*/}"
  msg=$(resume 2>&1); rc=$?
  expect_eq "$rc" 2 "exit code of resume over ${damage#*/}"
  key=$(echo "${damage#*/}" | sed 's/^"\([a-z_]*\)".*/\1/')
  [[ "$msg" == *"p/s.jsonl.part: line 3: \"$key\" is "* ]] || fail "resume over ${damage#*/}: $msg"
  [ -f p/s.jsonl ] && fail "nothing is made final after the refusal over ${damage#*/}"
done

# Evaluation rows with values tarvo never writes: refused by summarize with file, line and field.
eval="r/$base-eval-U1-runs20.csv"
row=$(sed -n 3p "$eval")
field() { echo "$row" | awk -F, -v OFS=, -v c="$1" -v v="$2" '{ $c = v; print }'; }
for change in 14:nan:mean 14:inf:mean 14:0x10:mean 10:1:runs 1:J99:dataset 2:XX:distribution; do
  IFS=: read -r column value name <<< "$change"
  { head -n 2 "$eval"; field "$column" "$value"; } > bad.csv
  msg=$("$program" summarize bad.csv 2>&1); rc=$?
  expect_eq "$rc" 2 "exit code of summarize over $name $value"
  [[ "$msg" == *"bad.csv: line 3 is not an evaluation row: field \"$name\" is \"$value\""* ]] ||
    fail "summarize over $name $value: $msg"
done

# LaTeX of a file run whose name holds an underscore.
mkdir proj && cp "$psplib/j301_3.sm" proj/a.sm
"$program" run --files proj --name my_run --dist U1 --quiet --reports fr
tex=$("$program" summarize --format latex "fr/my_run-U1-#${label}sch-LV.csv")
[[ "$tex" == *'my\_run & U1 &'* ]] || fail "LaTeX escapes the run name: $tex"
finish
