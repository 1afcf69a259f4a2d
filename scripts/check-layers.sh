#!/usr/bin/env bash
# Checks the layers of the source tree (docs/architecture.md): which folder may include which,
# and the length of production source files. Prints every breach; exit status 1 if there is any.
#
# Usage: scripts/check-layers.sh [SOURCE_DIR]   (default: the folder above this script)
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

core="config project durations engine phase1 phase2"
commands="driver batch evaluate summarize schedule compare"
maxLines=550

# The folders a file of each layer may include, besides its own folder.
allowedFor() {
    case " $core " in *" $1 "*) echo "$core"; return ;; esac
    case $1 in
    cli) echo "$core" ;;
    results) echo "$core cli" ;;
    simulation) echo "$core cli results" ;;
    solve) echo "$core cli" ;;
    app) echo "$core cli results simulation solve $commands" ;;
    *) case " $commands " in
       *" $1 "*) echo "$core cli results simulation solve" ;;
       *) echo "*" ;;   # tests, benchmarks: anything below app/
       esac ;;
    esac
}

breaches=0
breach() {
    echo "$1"
    breaches=$((breaches + 1))
}

files=$(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | sed 's|^\./||')
for file in $files; do
    [ -f "$file" ] || continue
    folder=${file%%/*}
    allowed=$(allowedFor "$folder")
    while IFS=: read -r line target; do
        included=${target%%/*}
        [ "$included" = "$target" ] && continue   # a header of the same folder, named alone
        if [ "$included" = app ]; then
            breach "$file:$line: includes $target: nothing includes the program entry"
            continue
        fi
        [ "$included" = "$folder" ] && continue
        [ "$allowed" = "*" ] && continue
        case " $allowed " in
        *" $included "*) ;;
        *) breach "$file:$line: includes $target: the $folder layer may include only $allowed" ;;
        esac
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" | sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
    case $folder in
    tests | bench) ;;
    *)
        lines=$(wc -l < "$file")
        if [ "$lines" -gt "$maxLines" ]; then
            breach "$file: $lines lines, more than the $maxLines a production source file may have"
        fi ;;
    esac
done

if [ "$breaches" -gt 0 ]; then
    echo "check-layers: $breaches breach(es)"
    exit 1
fi
echo "check-layers: the layers hold"
