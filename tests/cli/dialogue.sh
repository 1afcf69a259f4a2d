#!/usr/bin/env bash
# The start-up dialogue, byte for byte: prompts, invalid answers, non-numbers and end of input.
source "$(dirname "$0")/lib.bash"

# With no Instances/ the first read fails at once, so the transcript ends quickly.
nl=$'\n'
menu1="1:J30	2:J60	3:J90	4:J120 ${nl}"
menu2="0:All	1:U1	2:B1	3:U2	4:B2	5:Exp ${nl}"
menu3="0:Default(recomended:-))	${nl}1:GRASP+GA_arc_add: High Variability (HV) ${nl}2:GRASP+greedy_arc_removal: Low Variability (LV)${nl}"

out=$(printf '1\n0\n0\n' | "$program"; echo "rc=$?")
expected="${menu1}Enter dataset number : ${nl}Total number of instances: 480${nl}${nl}${menu2}Enter distribution number:${nl}${nl}${menu3}Enter Ph.2 optimization type : ${nl}${nl}Solving...${nl}"
expect_eq "${out:0:${#expected}}" "$expected" "dialogue for answers 1, 0, 0"

out=$(printf '0\n5\n4\n-1\n6\n3\n3\n2\n' | "$program")
expected="${menu1}Enter dataset number : ${nl}invalid: datasetType = 0${nl}Enter dataset number : ${nl}invalid: datasetType = 5${nl}Enter dataset number : ${nl}Total number of instances: 600${nl}${nl}${menu2}Enter distribution number:${nl}invalid: distNum = -1${nl}Enter distribution number:${nl}invalid: distNum = 6${nl}Enter distribution number:${nl}${nl}${menu3}Enter Ph.2 optimization type : ${nl}invalid: varSetting = 3${nl}Enter Ph.2 optimization type : ${nl}${nl}Solving...${nl}"
expect_eq "${out:0:${#expected}}" "$expected" "invalid answers are refused and asked again"

out=$(printf 'abc\n1\nx y\n2\n1\n' | "$program")
case "$out" in
  *'invalid: not a number: "abc"'*'Enter dataset number : '*'Total number of instances: 480'*'invalid: not a number: "x y"'*'Solving...'*) ;;
  *) fail "non-numbers are reported and the question asked again: $out" ;;
esac

out=$(printf '1\n2\n' | "$program"; echo "rc=$?")
case "$out" in
  *'No answer to the Phase 2 type question: standard input has ended.'*rc=3) ;;
  *) fail "end of input at the menus stops with exit code 3: $out" ;;
esac
[ "$(printf 'zzz' | "$program" | grep -c 'invalid: not a number')" -eq 1 ] || fail "garbage at end of input is reported once"

finish
