#!/usr/bin/env bash
# The whole J30 set under all five distributions with the default methods, run twice: five reports
# of 480 finite lines each, and the same lines (CPU column apart) from both runs.
source "$(dirname "$0")/lib.bash"
if [ "$kind" == sanitized ] || [ "$kind" == debug ] || [ "$config" != standard ]; then
  echo "skipped: the full run belongs to the optimised standard build"
  exit 0
fi
ln -s "$psplib" Instances
for run in 1 2; do
  mkdir "run$run"
  (cd "run$run" && ln -s ../Instances Instances && printf '1\n0\n0\n' | "$program" > console.txt; echo "rc=$?" >> console.txt)
  grep -q 'rc=0' "run$run/console.txt" || fail "run $run ends with exit code 0"
done
for dist in U1-#5000sch-LV B1-#5000sch-LV U2-#5000sch-HV B2-#5000sch-HV EXP-#5000sch-HV; do
  a=$(ls run1/Reports/*-J30-"$dist".txt 2>/dev/null)
  b=$(ls run2/Reports/*-J30-"$dist".txt 2>/dev/null)
  [ -n "$a" ] && [ -n "$b" ] || { fail "report $dist in both runs"; continue; }
  expect_eq "$(grep -cP '^\d+\t\d+\.\d{3}\t\t\d+\.\d{3}\t\t-?\d+\.\d{3}\t\t\d+\.\d{3}$' "$a")" 480 "$dist: finite instance lines"
  expect_eq "$(sed -n '2,481p' "$a" | cut -f1-6)" "$(sed -n '2,481p' "$b" | cut -f1-6)" "$dist: same lines in both runs"
  expect_eq "$(grep 'Average' "$a")" "$(grep 'Average' "$b")" "$dist: same averages in both runs"
  grep 'Average' "$a" | sed "s/^/$dist: /"
done
finish
