#!/usr/bin/env bash
# File runs (run --files): refusals, the results files with their file table, --jobs against one
# process, streams that depend on the stem alone (not on order, number, folder or layout), resume
# from cut files, and the checks that stop a resume on a changed folder.
source "$(dirname "$0")/lib.bash"
label=5000
[ "$config" == extended ] && label=25000
# CSV rows without dataset, groups, inst, cpu_seconds, version, host and file: what the search found.
found() { cut -d, -f2-5,10-16,18,22 "$1" | tail -n +2; }
# The Patterson layout of a PSPLIB file: "n K", the capacities, then per activity its duration,
# requirements, successor count and successors; wrapped at odd places, as published files are.
to_rcp() {
  awk '
    /^jobs \(incl/ { n = $NF }
    /^  - renewable/ { k = $4 }
    /^PRECEDENCE RELATIONS:/ { part = "prec"; getline; next }
    /^REQUESTS\/DURATIONS:/ { part = "req"; getline; getline; next }
    /^RESOURCEAVAILABILITIES:/ { part = "cap"; getline; next }
    /^\*/ { part = ""; next }
    part == "prec" { succ[$1] = $3; for (i = 4; i <= NF; ++i) succ[$1] = succ[$1] " " $i }
    part == "req" { req[$1] = $3; for (i = 4; i <= NF; ++i) req[$1] = req[$1] " " $i }
    part == "cap" { caps = $0 }
    END {
      print n, k; print caps
      for (j = 1; j <= n; ++j) { line = req[j] " " succ[j]; if (j % 3 == 0) sub(/ /, "\n", line); print line }
    }' "$1"
}

mkdir proj
cp "$psplib/j301_1.sm" proj/alpha.sm
cp "$psplib/j301_2.sm" proj/beta.sm
cp "$psplib/j601_1.sm" proj/gamma.sm
to_rcp "$psplib/j301_3.sm" > proj/delta.rcp
run() { "$program" run --quiet --dist U1,B2 "$@"; }

# Refusals: exit 2, a message naming the fault, nothing written.
mkdir empty twins && cp proj/alpha.sm twins/x.sm && cp proj/beta.sm twins/x.rcp
cp proj/alpha.sm "com,ma.sm"
for bad in "--files proj --dataset J30" "--files proj --groups 1-2" "--files proj --instances x" \
           "--files proj --single-stream" "--files proj --name J30" "--files proj --name .x" "--name x --dataset J30" \
           "--files" "--files missing" "--files empty" "--files twins" "--files com,ma.sm" "--files ."; do
  msg=$("$program" run $bad 2>&1 >/dev/null); rc=$?
  expect_eq "$rc" 2 "exit code of: $bad"
  [ -n "$msg" ] || fail "a message for: $bad"
done
"$program" run --files missing 2>&1 | grep -q "missing: No such file or directory" || fail "an unreadable path names the reason"
"$program" run --files twins 2>&1 | grep -q 'same stem "x"' || fail "two files of one stem are named"
printf '1 2 3\n' > empty/broken.rcp
out=$("$program" run --files proj empty/broken.rcp --reports broken 2>&1); rc=$?
expect_eq "$rc" 2 "a damaged file refuses the run"
grep -q "empty/broken.rcp" <<< "$out" || fail "the damaged file is named: $out"
# Projects beyond the tables: refused with the limit, the value and the file, in either layout.
sed 's/^jobs (incl. supersource\/sink ):  32/jobs (incl. supersource\/sink ):  130/' proj/alpha.sm > big.sm
to_rcp proj/alpha.sm | sed '1s/^32 4/32 5/' > wide.rcp
out=$("$program" run --files big.sm wide.rcp proj 2>&1); rc=$?
expect_eq "$rc" 2 "oversize projects refuse the run"
for text in "n == 130" "limit == 122" "big.sm cannot be used" "wide.rcp" "2 of the 6 files cannot be read"; do
  grep -qF "$text" <<< "$out" || fail "oversize message holds [$text]: $out"
done
[ ! -e Reports ] && [ -z "$(ls broken 2>/dev/null)" ] || fail "refused runs solve nothing"

# The run: rows in name order, the report's file table, one policy line per file.
run --files proj --reports one || fail "file run"
csv=one/proj-U1-#${label}sch-LV.csv
expect_eq "$(cut -d, -f1,6-9,21,22 "$csv" | tail -n +2 | tr '\n' ' ')" \
  "proj,4,,,1,proj/alpha.sm,alpha proj,4,,,2,proj/beta.sm,beta proj,4,,,3,proj/delta.rcp,delta proj,4,,,4,proj/gamma.sm,gamma " \
  "rows of a file run"
expect_eq "$(head -1 "$csv" | tr ',' '\n' | tail -2 | tr '\n' ' ')" "file stem " "file and stem columns"
expect_eq "$(sed -n '/^Inst\tFile$/,$p' one/proj-B2-#${label}sch-HV.txt | tail -n +2 | tr '\t\n' ': ')" \
  "1:proj/alpha.sm 2:proj/beta.sm 3:proj/delta.rcp 4:proj/gamma.sm " "the report's file table"
expect_eq "$(grep -c '"file":"proj/' one/proj-U1-#${label}sch-LV.jsonl)" 4 "a policy line per file"

# --jobs 2 writes what one process writes.
run --files proj --reports jobs --jobs 2 2>/dev/null || fail "--jobs 2"
for f in one/*.csv; do
  expect_eq "$(found "jobs/${f#one/}")" "$(found "$f")" "--jobs 2 rows of $f"
  cmp -s "${f%.csv}.jsonl" "jobs/$(basename "${f%.csv}").jsonl" || fail "--jobs 2 policies of $f"
done

# A file's result depends on its stem alone: alone, among others in another order, renamed
# folder, or given in the Patterson layout under the same stem.
mkdir other && to_rcp "$psplib/j301_1.sm" > other/alpha.rcp && cp proj/gamma.sm other/gamma.sm
run --files proj/gamma.sm other/alpha.rcp --name pair --reports pair || fail "run on two files"
for d in U1 B2; do
  m=LV; [ $d == B2 ] && m=HV
  whole=$(found one/proj-$d-#${label}sch-$m.csv)
  part=$(found pair/pair-$d-#${label}sch-$m.csv)
  expect_eq "$(grep ',alpha$' <<< "$part")" "$(grep ',alpha$' <<< "$whole")" "$d: alpha as .rcp, alone, elsewhere"
  expect_eq "$(grep ',gamma$' <<< "$part")" "$(grep ',gamma$' <<< "$whole")" "$d: gamma among other files"
done
grep -q 'proj/delta.rcp' one/proj-U1-#${label}sch-LV.csv || fail "a Patterson file in a folder run"
# Every project in the other layout: the same rows apart from the file.
mkdir mirror
to_rcp "$psplib/j301_1.sm" > mirror/alpha.rcp
to_rcp "$psplib/j301_2.sm" > mirror/beta.rcp
cp "$psplib/j301_3.sm" mirror/delta.sm
to_rcp "$psplib/j601_1.sm" > mirror/gamma.rcp
run --files mirror --reports mirrored || fail "run on the other layouts"
for f in one/*.csv; do
  expect_eq "$(found "mirrored/mirror${f#one/proj}")" "$(found "$f")" "other layouts: rows of $f"
done

# Resume: rows whose policy line is complete are kept, a cut policy line is solved again, a line
# of no place of the run is ignored, and
# the final files equal the uninterrupted run's (CPU apart).
mkdir cut
for d in U1-#${label}sch-LV B2-#${label}sch-HV; do
  head -3 one/proj-$d.csv > cut/proj-$d.csv.part
  head -1 one/proj-$d.jsonl > cut/proj-$d.jsonl.part
  # A line of a place beyond the run's files is ignored.
  head -1 one/proj-$d.jsonl | sed 's/"inst":1,/"inst":9,/' >> cut/proj-$d.jsonl.part
  sed -n 2p one/proj-$d.jsonl | head -c 50 >> cut/proj-$d.jsonl.part
done
run --files proj --reports cut --resume || fail "resume of a file run"
for f in one/*.csv; do
  expect_eq "$(found "cut/${f#one/}")" "$(found "$f")" "resumed rows of $f"
  cmp -s "${f%.csv}.jsonl" "cut/$(basename "${f%.csv}").jsonl" || fail "resumed policies of $f"
done
expect_eq "$(ls cut | grep -c part)" 0 "no .part file left"

# A resume on a changed folder is refused, since places would name other files.
mkdir changed && head -3 one/proj-U1-#${label}sch-LV.csv > changed/proj-U1-#${label}sch-LV.csv.part
cp "$psplib/j301_4.sm" proj/aardvark.sm
out=$(run --files proj --reports changed --resume --dist U1 2>&1); rc=$?
expect_eq "$rc" 2 "resume after a file was added"
grep -q "another experiment (proj U1 LV [0-9]*, 4 files" <<< "$out" || fail "the added file is told: $out"
rm proj/aardvark.sm && mv proj/beta.sm proj/bravo.sm
out=$(run --files proj --reports changed --resume --dist U1 2>&1); rc=$?
expect_eq "$rc" 2 "resume after a file was renamed"
grep -q "instance 2 is proj/beta.sm" <<< "$out" || fail "the renamed file is told: $out"
finish
