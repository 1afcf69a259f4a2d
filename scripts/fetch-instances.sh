#!/usr/bin/env bash
# Fills Instances/, the folder tarvo reads its projects from, with the PSPLIB single-mode sets (J30,
# J60, J90, J120: 2,040 files): every complete set found in the folders and archives the user names,
# or else from the official PSPLIB archives. Each file is checked against scripts/psplib.sha256 in a
# staging folder first, so an incomplete or altered set is reported by name and never installed.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/fetch-instances.sh [--workdir DIR] [--force] [SOURCE...]

Fills DIR/Instances (default: ./Instances), the folder tarvo reads its instance files from.

SOURCE is a folder holding .sm files (its subfolders and links are followed) or an archive of them
(.zip, .tar, .tar.gz, .tgz, .tar.bz2, .tar.xz); several may be given, e.g. the four PSPLIB zips.
Every set found whole is installed: J30 alone, or J30 and J120, and so on; the sets already in
Instances stay. Without SOURCE the official archives (j30.sm.zip ... j120.sm.zip) of the sets
Instances lacks are downloaded from https://www.om-db.wi.tum.de/psplib/files/ (or from
$TARVO_PSPLIB_URL when set).

Each file of a set is checked against the SHA-256 manifest scripts/psplib.sha256. A set the sources
hold only in part, or with altered files, is refused with those files named, and nothing of it is
installed; a set they lack is named in one line. A set in Instances that fails the check is
replaced only with --force, which says what it replaces.

Exit status: 0 every set found installed (or already complete); 1 a set incomplete or altered in
the sources, or no set found at all; 2 wrong usage; 3 a source could not be read, unpacked or
downloaded; 4 a set in Instances fails the check and is in the way (see --force).
EOF
}

fail() {  # fail STATUS MESSAGE...
  local status=$1
  shift
  echo "fetch-instances: $*" >&2
  exit "$status"
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
manifest="$here/psplib.sha256"
# TARVO_PSPLIB_URL may name a mirror (or a file:// folder holding the four archives).
baseUrl=${TARVO_PSPLIB_URL:-https://www.om-db.wi.tum.de/psplib/files}
fileCount=2040

workdir=.
force=0
sources=()
while [ $# -gt 0 ]; do
  case "$1" in
    --workdir) [ $# -ge 2 ] || { usage >&2; exit 2; }; workdir=$2; shift 2 ;;
    --workdir=*) workdir=${1#*=}; shift ;;
    --force) force=1; shift ;;
    -h|--help) usage; exit 0 ;;
    --) shift; sources+=("$@"); break ;;
    -*) echo "fetch-instances: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) sources+=("$1"); shift ;;
  esac
done

[ -r "$manifest" ] || fail 3 "the manifest $manifest is missing"
[ "$(wc -l < "$manifest")" -eq "$fileCount" ] || fail 3 "the manifest $manifest does not list $fileCount files"

# Sources are resolved before anything changes folder.
for i in "${!sources[@]}"; do
  src=${sources[$i]}
  [ -e "$src" ] || fail 3 "no such folder or archive: $src"
  sources[i]=$(cd "$(dirname "$src")" && pwd)/$(basename "$src")
done

mkdir -p "$workdir" || fail 3 "cannot create the folder $workdir"
workdir=$(cd "$workdir" && pwd)
target="$workdir/Instances"

sets=(J30 J60 J90 J120)
# The manifest's files with their hashes and sets.
declare -A wantHash=() setOf=() setSize=()
while read -r hash name; do
  case "$name" in j120*) set=J120 ;; j30*) set=J30 ;; j60*) set=J60 ;; *) set=J90 ;; esac
  wantHash[$name]=$hash
  setOf[$name]=$set
  setSize[$set]=$((${setSize[$set]:-0} + 1))
done < "$manifest"

# check DIR PREFIX: what DIR holds of every set, in the arrays PREFIXFound (per set, how many of
# its files are there) and PREFIXBad (per set, its "missing: " and "altered: " lines), read by
# stateOf and faultsOf. One sha256sum call for all the files.
check() {
  local dir=$1 prefix=$2 name hash set
  local present=()
  declare -gA "${prefix}Found=()" "${prefix}Bad=()"
  declare -n found="${prefix}Found" bad="${prefix}Bad"
  found=() bad=()
  for name in "${!wantHash[@]}"; do [ -f "$dir/$name" ] && present+=("$name"); done
  declare -A got=()
  if [ ${#present[@]} -gt 0 ]; then
    while read -r hash name; do got[$name]=$hash; done < <(cd "$dir" && sha256sum -- "${present[@]}")
  fi
  for name in "${!wantHash[@]}"; do
    set=${setOf[$name]}
    if [ -z "${got[$name]:-}" ]; then
      bad[$set]+="missing: $name"$'\n'
    else
      found[$set]=$((${found[$set]:-0} + 1))
      [ "${got[$name]}" = "${wantHash[$name]}" ] || bad[$set]+="altered: $name"$'\n'
    fi
  done
}
# stateOf PREFIX SET: complete, absent or broken
stateOf() {
  declare -n found="${1}Found" bad="${1}Bad"
  if [ -z "${found[$2]:-}" ]; then echo absent
  elif [ "$(grep -c '^altered' <<<"${bad[$2]:-}")" -eq 0 ] && [ "${found[$2]}" -eq "${setSize[$2]}" ]; then echo complete
  else echo broken
  fi
}
# faultsOf PREFIX SET: the broken set's files, sorted, with a count
faultsOf() {
  declare -n bad="${1}Bad"
  local lines
  lines=$(grep -v '^$' <<<"${bad[$2]}" | sort -t: -k1,1 -k2V)
  local missing altered
  missing=$(grep -c '^missing' <<<"$lines" || true)
  altered=$(grep -c '^altered' <<<"$lines" || true)
  printf '%s\n' "$lines"
  echo "$2: $missing of ${setSize[$2]} files missing, $altered altered"
}

if [ -e "$target" ] && [ ! -d "$target" ]; then
  [ "$force" -eq 1 ] || fail 4 "$target is not a folder; move it away or run again with --force to replace it"
  echo "replacing $target, which is not a folder"
fi
declare -A inTarget=()
if [ -d "$target" ]; then
  check "$target" target
  for set in "${sets[@]}"; do inTarget[$set]=$(stateOf target "$set"); done
else
  for set in "${sets[@]}"; do inTarget[$set]=absent; done
fi
allThere=1
for set in "${sets[@]}"; do [ "${inTarget[$set]}" = complete ] || allThere=0; done
if [ "$allThere" -eq 1 ]; then
  echo "$target already holds all $fileCount instance files, verified."
  exit 0
fi

stage=$(mktemp -d "$workdir/.Instances.stage.XXXXXX") || fail 3 "cannot create a staging folder in $workdir"
cleanup() {
  chmod -R u+w "$stage" 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir "$stage/Instances" "$stage/unpack" "$stage/download" "$stage/new"

# Without sources: the official archives of the sets Instances lacks.
if [ ${#sources[@]} -eq 0 ]; then
  for set in "${sets[@]}"; do
    [ "${inTarget[$set]}" = complete ] && continue
    url="$baseUrl/${set,,}.sm.zip"
    out="$stage/download/${set,,}.sm.zip"
    echo "Downloading $url"
    if command -v curl >/dev/null; then
      curl -fsSL --retry 2 -o "$out" "$url" || fail 3 "cannot download $url"
    elif command -v wget >/dev/null; then
      wget -q -O "$out" "$url" || fail 3 "cannot download $url"
    else
      fail 3 "neither curl nor wget is installed; download the archives by hand and name them here"
    fi
    sources+=("$out")
  done
fi

unzipInto() {  # unzipInto ARCHIVE DIR
  if command -v unzip >/dev/null; then
    unzip -q -o "$1" -d "$2"
  elif command -v bsdtar >/dev/null; then
    bsdtar -xf "$1" -C "$2"
  elif command -v python3 >/dev/null; then
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$1" "$2"
  else
    fail 3 "cannot unpack $1: install unzip"
  fi
}

# Gathers the manifest's files from every source. Where a name is found more than once, the first
# copy that matches the manifest is taken (else the first copy, which the check below rejects).
candidates=()
n=0
for src in "${sources[@]}"; do
  dir=$src
  if [ -f "$src" ]; then
    n=$((n + 1))
    dir="$stage/unpack/$n"
    mkdir "$dir"
    shopt -s nocasematch
    case "$src" in
      *.zip) unzipInto "$src" "$dir" || fail 3 "cannot unpack $src" ;;
      *.tar|*.tar.gz|*.tgz|*.tar.bz2|*.tbz2|*.tar.xz|*.txz) tar -xf "$src" -C "$dir" || fail 3 "cannot unpack $src" ;;
      *) fail 3 "$src is neither a folder nor a .zip or .tar archive" ;;
    esac
    shopt -u nocasematch
  elif [ ! -d "$src" ]; then
    fail 3 "$src is neither a folder nor a .zip or .tar archive"
  fi
  while IFS= read -r -d '' path; do
    [ -n "${wantHash[${path##*/}]:-}" ] && candidates+=("$path")
  done < <(find -L "$dir" -type f -name '*.sm' -print0 2>/dev/null)
done
declare -A chosen=() matched=()
if [ ${#candidates[@]} -gt 0 ]; then
  while read -r hash path; do
    name=${path##*/}
    [ -n "${matched[$name]:-}" ] && continue
    if [ "$hash" = "${wantHash[$name]:-}" ]; then
      chosen[$name]=$path
      matched[$name]=1
    elif [ -z "${chosen[$name]:-}" ]; then
      chosen[$name]=$path
    fi
  done < <(sha256sum -- "${candidates[@]}")
  if [ ${#chosen[@]} -gt 0 ]; then
    cp -- "${chosen[@]}" "$stage/new/" || fail 3 "cannot copy the instance files into $stage"
  fi
fi
chmod -R u+rw,go+r "$stage/new"
check "$stage/new" new

# Per set: install it, keep what is there, or refuse it.
status=0
install=()
for set in "${sets[@]}"; do
  found=$(stateOf new "$set")
  case "$found:${inTarget[$set]}" in
    absent:complete|complete:complete) echo "$set: already installed in $target, kept" ;;
    absent:broken)
      echo "$set: not in the sources given; the set in $target fails the check ($(faultsOf target "$set" | tail -n 1 | cut -d' ' -f2-))" ;;
    absent:*) echo "$set: not in the sources given, not installed" ;;
    broken:*)
      faultsOf new "$set" >&2
      echo "fetch-instances: $set is incomplete or altered in the sources: nothing of it installed" >&2
      status=1 ;;
    complete:absent) install+=("$set") ;;
    complete:broken)
      if [ "$force" -eq 1 ]; then
        echo "$set: replacing the set in $target, which fails the check ($(faultsOf target "$set" | tail -n 1 | cut -d' ' -f2-))"
        install+=("$set")
      else
        faultsOf target "$set" >&2
        echo "fetch-instances: $target holds $set but fails the check; move it away or run again with --force to replace it" >&2
        [ "$status" -ne 0 ] || status=4
      fi ;;
  esac
done
if [ ${#install[@]} -eq 0 ]; then
  [ "$status" -ne 0 ] || { status=1; for set in "${sets[@]}"; do [ "${inTarget[$set]}" = complete ] && status=0; done; }
  [ "$status" -eq 0 ] || echo "fetch-instances: nothing installed in $target" >&2
  exit "$status"
fi

# The new folder: what Instances holds (but the sets replaced), then the sets installed; it takes
# the place of the old one in two renames.
if [ -d "$target" ]; then
  cp -a -- "$target"/. "$stage/Instances/" || fail 3 "cannot copy $target into $stage"
  [ ! -L "$target" ] || echo "$target is a link to $(readlink "$target"): it becomes a folder of its own"
fi
moved=()
for set in "${install[@]}"; do
  for name in "${!wantHash[@]}"; do [ "${setOf[$name]}" = "$set" ] && moved+=("$name"); done
done
(cd "$stage/Instances" && rm -f -- "${moved[@]}") && (cd "$stage/new" && mv -t "$stage/Instances" -- "${moved[@]}") ||
  fail 3 "cannot gather the new sets in $stage"
if [ -L "$target" ]; then
  rm -- "$target"
elif [ -e "$target" ]; then
  mv -- "$target" "$stage/replaced"
fi
mv -- "$stage/Instances" "$target"
for set in "${install[@]}"; do echo "Installed $set (${setSize[$set]} verified instance files) in $target"; done
exit "$status"
