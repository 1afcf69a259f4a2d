#!/usr/bin/env bash
# Fills Instances/, the folder tarvo reads its projects from, with the 2,040 PSPLIB single-mode files
# (J30, J60, J90, J120): from folders or archives the user names, or else from the official PSPLIB
# archives. Every file is checked against scripts/psplib.sha256 in a staging folder first, so an
# incomplete or altered set is reported by name and never installed.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/fetch-instances.sh [--workdir DIR] [--force] [SOURCE...]

Fills DIR/Instances (default: ./Instances), the folder tarvo reads its instance files from.

SOURCE is a folder holding the .sm files (its subfolders and links are followed) or an archive of them
(.zip, .tar, .tar.gz, .tgz, .tar.bz2, .tar.xz); several may be given, e.g. the four PSPLIB zips.
Without SOURCE the official archives j30.sm.zip, j60.sm.zip, j90.sm.zip and j120.sm.zip are
downloaded from https://www.om-db.wi.tum.de/psplib/files/ (or from $TARVO_PSPLIB_URL when set).

All 2,040 files are checked against the SHA-256 manifest scripts/psplib.sha256; missing or altered
files are named and then nothing is installed. An Instances folder that already passes the check is
left as it is; one that does not is replaced only with --force.

Exit status: 0 installed or already complete; 1 files missing or altered; 2 wrong usage;
3 a source could not be read, unpacked or downloaded; 4 an unverified Instances folder is in the way.
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

# verify DIR [quiet]: checks DIR against the manifest; names every missing or altered file unless
# quiet, always prints the counts; returns 1 when anything is wrong. One sha256sum call for all.
verify() {
  local dir=$1 quiet=${2:-}
  local present=()
  local name
  while read -r _ name; do
    [ -f "$dir/$name" ] && present+=("$name")
  done < "$manifest"
  {
    if [ ${#present[@]} -gt 0 ]; then (cd "$dir" && sha256sum -- "${present[@]}"); fi
    echo "--manifest--"
    cat "$manifest"
  } | awk -v quiet="$quiet" '
    $0 == "--manifest--" { inManifest = 1; next }
    !inManifest { got[$2] = $1; next }
    { total++ }
    !($2 in got) { missing++; if (!quiet) print "missing: " $2; next }
    got[$2] != $1 { altered++; if (!quiet) print "altered: " $2 }
    END {
      if (missing + altered > 0) {
        printf "%d of %d files missing, %d altered\n", missing, total, altered
        exit 1
      }
    }' >&2
}

if [ -e "$target" ] || [ -L "$target" ]; then
  if verify "$target" quiet 2>/dev/null; then
    echo "$target already holds all $fileCount instance files, verified."
    exit 0
  fi
  if [ "$force" -eq 0 ]; then
    verify "$target" quiet || true
    fail 4 "$target exists and fails the check; move it away or run again with --force to replace it"
  fi
fi

stage=$(mktemp -d "$workdir/.Instances.stage.XXXXXX") || fail 3 "cannot create a staging folder in $workdir"
cleanup() {
  chmod -R u+w "$stage" 2>/dev/null || true
  rm -rf "$stage"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir "$stage/Instances" "$stage/unpack" "$stage/download"

# Without sources: the official archives.
if [ ${#sources[@]} -eq 0 ]; then
  for set in j30 j60 j90 j120; do
    url="$baseUrl/$set.sm.zip"
    out="$stage/download/$set.sm.zip"
    echo "Downloading $url"
    if command -v curl >/dev/null; then
      curl -fsSL --retry 2 -o "$out" "$url" || fail 3 "cannot download $url"
    elif command -v wget >/dev/null; then
      wget -q -O "$out" "$url" || fail 3 "cannot download $url"
    else
      fail 3 "neither curl nor wget is installed; download the four archives by hand and name them here"
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
declare -A wantHash=()
while read -r hash name; do wantHash[$name]=$hash; done < "$manifest"
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
    cp -- "${chosen[@]}" "$stage/Instances/" || fail 3 "cannot copy the instance files into $stage"
  fi
fi
chmod -R u+rw,go+r "$stage/Instances"

if ! verify "$stage/Instances"; then
  echo "fetch-instances: nothing installed in $target" >&2
  exit 1
fi

if [ -L "$target" ]; then
  rm -- "$target"
elif [ -e "$target" ]; then
  mv -- "$target" "$stage/replaced"
fi
mv -- "$stage/Instances" "$target"
echo "Installed $fileCount verified instance files in $target"
