#!/usr/bin/env bash
# Report files and console of a pass: name, header, instance lines, summary, progress, and a pass
# cut short by a missing instance file or an unwritable report folder.
source "$(dirname "$0")/lib.bash"
label=5000
[ "$config" == extended ] && label=25000

# Group 1 whole, group 2 up to instance 3: the read of j302_4 fails.
link_instances j301_{1..10} j302_{1..3}
console=$(printf '1\n1\n2\n' | "$program"; echo "rc=$?")
reports=(Reports/*)
expect_eq "${#reports[@]}" 1 "one report file"
name=${reports[0]}
[[ "$name" =~ ^Reports/[0-9]{4}\.[0-9]{2}\.[0-9]{2}-[0-9]{2}\.[0-9]{2}\.[0-9]{2}-J30-U1-#${label}sch-LV\.txt$ ]] \
  || fail "report file name: $name"
expect_eq "$(head -n 1 "$name")" $'Inst\tPh1.makespan\tPh2.makespan\tBestGap%\tCPU(seconds)' "header line"
lines=$(sed -n '2,$p' "$name" | grep -cP '^\d+\t-?\d+\.\d{3}\t\t-?\d+\.\d{3}\t\t-?\d+\.\d{3}\t\t\d+\.\d{3}$')
expect_eq "$lines" 13 "instance lines"
expect_eq "$(sed -n '2,14p' "$name" | cut -f1 | tr '\n' ' ')" "1 2 3 4 5 6 7 8 9 10 11 12 13 " "instance numbers"
expect_eq "$(sed -n '15p' "$name")" "" "empty line before the summary"
grep -qP '^Average of Gap Percents after Phase 1 = -?\d+\.\d{3}$' "$name" || fail "Phase 1 average line"
grep -qP '^Average of Gap Percents after Phase 2 = -?\d+\.\d{3}$' "$name" || fail "Phase 2 average line"
grep -qP '^computation time = \d+\.\d{3}$' "$name" || fail "computation time line"
expect_eq "$(wc -l < "$name")" 18 "lines in the report"
# Phase 2 average: the mean over 13 instances, as written with three decimals.
case "$console" in
  *"Sample file Instances/j302_4.sm not found! "*) ;;
  *) fail "reader's message for the missing file: $console" ;;
esac
case "$console" in
  *$'U1\n%2.08        \r'*"Done!"*"Press any key to exit..."*"rc=1") ;;
  *) fail "console progress, Done! and exit code 1: $console" ;;
esac
[ "$(grep -o '%[0-9.]*' <<<"$console" | wc -l)" -eq 1 ] || fail "no progress for a group cut short"

# A report folder that cannot be written: the pass is skipped and said so, exit code non-zero.
rm -rf Reports && touch Reports
console=$(printf '1\n5\n0\n' | "$program"; echo "rc=$?")
case "$console" in
  *"Cannot write the report file Reports/"*"-J30-EXP-#${label}sch-HV.txt: "*"The EXP pass is skipped."*"rc=1") ;;
  *) fail "unwritable report: $console" ;;
esac
rm -f Reports

# Distribution 0 with the default method: five files, LV for U1 and B1, HV for U2, B2 and EXP.
rm -rf Instances && mkdir Instances
console=$(printf '1\n0\n0\n' | "$program")
# A set that was never installed: the reader's message first, then which set and how to install it.
expect_eq "$(grep -A2 -m1 'not found' <<<"$console")" "Sample file Instances/j301_1.sm not found! 
The J30 set is not installed in Instances: its first file j301_1.sm is missing.
Install it with: bash scripts/fetch-instances.sh j30.sm.zip (the PSPLIB archive, or a folder of its files; no argument downloads all four sets)" \
  "the menu program names the missing set and its fetch command"
batch=$("$program" run --dataset J120 --dist U1 --groups 2 --instances sets/Instances --reports missing --quiet 2>&1)
grep -qF 'The J120 set is not installed in sets/Instances: its first file j1201_1.sm is missing.' <<<"$batch" &&
  grep -qF 'Install it with: bash scripts/fetch-instances.sh --workdir sets j120.sm.zip' <<<"$batch" ||
  fail "tarvo run names the missing set and the fetch command for its folder: $batch"
for want in U1-#${label}sch-LV B1-#${label}sch-LV U2-#${label}sch-HV B2-#${label}sch-HV EXP-#${label}sch-HV; do
  ls Reports/*-J30-"$want".txt >/dev/null 2>&1 || fail "report for $want"
done
grep -q 'none (no instance solved)' Reports/*-J30-U1-*.txt || fail "averages with no instance solved"

# The whole data set: 480 lines numbered 1..480 (optimised standard build only, for time).
if [ "$kind" != sanitized ] && [ "$config" == standard ]; then
  rm -rf Reports Instances
  ln -s "$psplib" Instances
  console=$(printf '1\n1\n2\n' | "$program"; echo "rc=$?")
  name=$(ls Reports/*-J30-U1-*.txt)
  expect_eq "$(sed -n '2,481p' "$name" | cut -f1 | tr '\n' ' ')" "$(seq -s ' ' 1 480) " "480 numbered lines"
  case "$console" in
    *"%100        "*"rc=0") ;;
    *) fail "clean full run ends with %100 and exit code 0" ;;
  esac
fi

finish
