#!/usr/bin/env bash
# Checks scripts/fetch-instances.sh in scratch folders, without network: filling Instances/ from a
# folder and from archives, any subset of the sets, refusing an incomplete or altered set by name
# without installing anything of it, and keeping or replacing what Instances/ holds. Called as: fetch_instances.sh PROGRAM CONFIG PSPLIB_DIR
set -uo pipefail

config=$2
psplib=$3
# The script does not depend on the build configuration: check it once.
if [ "$config" = "extended" ]; then
  echo "skipped: the instance fetch is checked with the standard configuration"
  exit 0
fi

fetch="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/fetch-instances.sh"
manifest="$(dirname "$fetch")/psplib.sha256"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-fetch.XXXXXX")
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
# Never reach the network, whatever a case below does by mistake.
export TARVO_PSPLIB_URL="file://$scratch/no-such-mirror"

failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
run() {  # run NAME ARGS...: runs the fetch script, keeping its output in NAME.out and status in NAME.rc
  local name=$1
  shift
  bash "$fetch" "$@" > "$name.out" 2>&1
  echo $? > "$name.rc"
}
status() { cat "$1.rc"; }
says() { grep -q -- "$2" "$1.out"; }
complete() {  # complete DIR: DIR/Instances holds exactly the manifest's files, unaltered
  [ -d "$1/Instances" ] && [ "$(find "$1/Instances" -type f | wc -l)" -eq 2040 ] &&
    (cd "$1/Instances" && sha256sum --quiet -c "$manifest")
}
noStaging() { [ -z "$(find "$1" -maxdepth 1 -name '.Instances.stage.*')" ]; }

# A folder: the way CI and most users fill Instances/.
run folder --workdir a "$psplib"
check "fills Instances/ from a folder" test "$(status folder)" -eq 0
check "the filled folder holds the 2040 verified files" complete a
check "no staging folder is left behind" noStaging a
run again --workdir a "$psplib"
check "a second run keeps the complete folder" test "$(status again)" -eq 0
check "and says it is already complete" says again "already holds all 2040"

# One file of J30 missing, one of J120 altered: both named, non-zero status, nothing of those two
# sets installed, the two whole sets installed. Links keep the copy cheap; the altered file is real.
count() { find "$1" -name "$2" | wc -l; }
mkdir broken
ln -s "$psplib"/*.sm broken/
rm broken/j302_4.sm broken/j1201_1.sm
{ cat "$psplib/j1201_1.sm"; printf ' '; } > broken/j1201_1.sm
run bad --workdir b broken
check "an incomplete set fails" test "$(status bad)" -eq 1
check "the missing file is named" says bad "missing: j302_4.sm"
check "the altered file is named" says bad "altered: j1201_1.sm"
check "nothing of the incomplete and the altered set is installed" test "$(count b/Instances 'j30*')$(count b/Instances 'j120*')" = 00
check "the two whole sets are installed" test "$(count b/Instances 'j60*')$(count b/Instances 'j90*')" = 480480
check "no staging folder is left behind after a failure" noStaging b

# A later source supplies the good copy of a name an earlier source has altered.
tar -cf psplib.tar -C "$psplib" .
run mixed --workdir c broken psplib.tar
check "a good copy in a later source is preferred" test "$(status mixed)" -eq 0
check "the mixed fill holds the 2040 verified files" complete c

# An existing folder that fails the check stays unless --force.
rm c/Instances/j3010_1.sm
run blocked --workdir c psplib.tar
check "an unverified Instances/ blocks the fill" test "$(status blocked)" -eq 4
check "the blocked folder is left untouched" test "$(find c/Instances -type f | wc -l)" -eq 2039
run forced --workdir c --force psplib.tar
check "--force replaces an unverified Instances/" test "$(status forced)" -eq 0
check "and says what it replaces" says forced "J30: replacing the set in .*/c/Instances, which fails the check (1 of 480 files missing, 0 altered)"
check "the replaced folder holds the 2040 verified files" complete c
check "no staging folder is left behind after a replacement" noStaging c

# Archives, and the download path through a file:// mirror of the four official zip names.
zipFolder() {  # zipFolder ARCHIVE FILES...: with zip, or Python's zipfile where zip is missing
  local archive=$1
  shift
  if command -v zip >/dev/null; then
    zip -qj "$archive" "$@"
  elif command -v python3 >/dev/null; then
    python3 -c 'import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for f in sys.argv[2:]: z.write(f, os.path.basename(f))' "$archive" "$@"
  else
    return 1
  fi
}
mkdir mirror
if zipFolder mirror/j30.sm.zip "$psplib"/j30*.sm && zipFolder mirror/j60.sm.zip "$psplib"/j60*.sm &&
   zipFolder mirror/j90.sm.zip "$psplib"/j90*.sm && zipFolder mirror/j120.sm.zip "$psplib"/j120*.sm; then
  # One set alone: installed, the other three named in a line each.
  run partial --workdir e mirror/j30.sm.zip
  check "one data set alone is installed" test "$(status partial)" -eq 0
  check "with its 480 files" test "$(count e/Instances '*.sm')" -eq 480
  check "the absent sets are named, one line each" test "$(grep -c 'not in the sources given' partial.out)" -eq 3
  check "and not file by file" test "$(grep -c 'missing' partial.out)" -eq 0
  # A J30 folder and the J120 archive; later the J60 archive joins them.
  mkdir j30folder && ln -s "$psplib"/j30*.sm j30folder/
  run two --workdir h j30folder mirror/j120.sm.zip
  check "a folder and an archive of two sets install both" test "$(status two)" -eq 0
  check "with their 1080 files" test "$(count h/Instances 'j30*')$(count h/Instances 'j120*')" = 480600
  check "the two sets not given are named" test "$(grep -c 'not in the sources given' two.out)" -eq 2
  run third --workdir h mirror/j60.sm.zip
  check "a third set joins the two installed" test "$(status third)" -eq 0
  check "keeping them" test "$(count h/Instances '*.sm')" -eq 1560
  check "and saying so" says third "J30: already installed"
  # A J30 zip with one file altered and one missing: refused with both named, nothing installed.
  mkdir j30bad && cp "$psplib"/j30*.sm j30bad/ && rm j30bad/j3048_10.sm && printf '*' >> j30bad/j305_7.sm
  zipFolder j30bad.zip j30bad/*.sm
  run j30bad --workdir i j30bad.zip
  check "an altered J30 zip is refused" test "$(status j30bad)" -eq 1
  check "naming the altered file" says j30bad "altered: j305_7.sm"
  check "and the missing one" says j30bad "missing: j3048_10.sm"
  check "and the set" says j30bad "J30 is incomplete or altered in the sources: nothing of it installed"
  check "nothing is installed" test ! -e i/Instances
  # The same four archives either way: named by the user, or fetched when nothing is named.
  TARVO_PSPLIB_URL="file://$scratch/mirror" run download --workdir f
  check "fetches and unpacks the four zip archives when no source is named" test "$(status download)" -eq 0
  check "the downloaded fill holds the 2040 verified files" complete f
else
  echo "skipped: the zip cases need zip or python3"
fi

run nosource --workdir g no-such-folder
check "a source that does not exist fails with status 3" test "$(status nosource)" -eq 3
check "and leaves no folder behind" test ! -e g/Instances

if [ "$failures" -gt 0 ]; then
  for f in *.out; do echo "--- $f"; cat "$f"; done
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
