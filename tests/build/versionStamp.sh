#!/bin/bash
# The version stamp names the commit a program is built from, marks uncommitted changes to tracked
# files, and says "unknown" outside a repository. Arguments: cmake, the source folder.
set -u
cmake=$1
script=$2/scripts/stampVersion.cmake
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'v=@PROJECT_VERSION@ h=@TARVO_GIT_HASH@\n' > "$work/template"
fail=0
stamp() {  # stamp FOLDER EXPECTED
    "$cmake" -DSOURCE_DIR="$1" -DTEMPLATE="$work/template" -DOUTPUT="$work/out" -DPROJECT_VERSION=9.8.7 \
        -P "$script" || { echo "stamping failed in $1"; fail=1; return; }
    local got
    got=$(cat "$work/out")
    if [ "$got" != "$2" ]; then echo "expected '$2', got '$got'"; fail=1; fi
}

mkdir "$work/repo" "$work/plain"
cd "$work/repo"
git init -q . && echo one > tracked && git add tracked &&
    git -c user.name=test -c user.email=test@invalid commit -qm one || exit 1
hash=$(git rev-parse --short HEAD)
stamp "$work/repo" "v=9.8.7 h=$hash"
echo stray > untracked
stamp "$work/repo" "v=9.8.7 h=$hash"
echo two > tracked
stamp "$work/repo" "v=9.8.7 h=$hash-modified"
git -c user.name=test -c user.email=test@invalid commit -qam two
stamp "$work/repo" "v=9.8.7 h=$(git rev-parse --short HEAD)"
GIT_CEILING_DIRECTORIES=$work stamp "$work/plain" "v=9.8.7 h=unknown"
exit $fail
