# Shared helpers of the program-level tests (sourced, not run): arguments, scratch folder, checks.
# Every script is called as: bash <script> <program> <standard|extended> <psplib-folder> <build-kind>
program=$1
config=$2
psplib=$3
kind=${4:-release}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-cli.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [ "$1" == "$2" ] || fail "$3: expected [$2], got [$1]"; }
finish() { [ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) failed"; exit 1; }; }

# Copies the folder from to the folder to, where the evaluation file name is then cut as a stopped
# evaluation leaves it: name.part with the header and rows up to line keep, and part of the next.
cut_evaluation() {
  cp -r "$1" "$2"
  local f="$2/$3"
  { head -n "$4" "$f"; sed -n "$(($4 + 1))p" "$f" | head -c 30; } > "$f.part"
  rm "$f"
}

# Instances/ holding the named benchmark files (stems such as j301_1) as links.
link_instances() {
  mkdir -p Instances
  for stem in "$@"; do ln -sf "$psplib/$stem.sm" "Instances/$stem.sm"; done
}
