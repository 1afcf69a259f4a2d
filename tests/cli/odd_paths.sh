#!/usr/bin/env bash
# Readers of odd paths: a folder, a pipe or a device where a command expects a file (on the command
# line, beside another file, inside a policy record) is refused with its path and what it is, exit
# 2, never a crash or a hang; a pipe given on summarize's command line is read once, as a stream.
source "$(dirname "$0")/lib.bash"
label=5000
[ "$config" == extended ] && label=25000
link_instances j301_{1..10}
t() { timeout 20 "$program" "$@"; }
# expect_refusal CODE TEXT LABEL COMMAND...: exit code CODE and TEXT in the messages (the
# instance reader's go to standard output, the commands' to standard error).
expect_refusal() {
  local code=$1 text=$2 label=$3; shift 3
  msg=$("$@" 2>&1); rc=$?
  expect_eq "$rc" "$code" "exit code of $label"
  [[ "$msg" == *"$text"* ]] || fail "$label: no [$text] in [$msg]"
}

t --dataset J30 --groups 1 --dist U1 --quiet --reports r
csv="r/J30-U1-#${label}sch-LV-g1-1.csv"
jsonl="r/J30-U1-#${label}sch-LV-g1-1.jsonl"
[ -f "$csv" ] && [ -f "$jsonl" ] || fail "the batch run wrote its files"

# Folders where a command reads a file.
mkdir base x.csv y.jsonl
expect_refusal 2 "base: a folder, not a file" "schedule of a folder" t schedule --instances Instances base 1 1
expect_refusal 2 "x.csv: a folder, not a file" "merge of a folder" t merge x.csv
expect_refusal 2 "y.jsonl: a folder, not a file" "evaluate of a folder" t evaluate --instances Instances y.jsonl
expect_refusal 2 "x.csv: a folder, not a file" "summarize of a folder" t summarize x.csv
mkdir -p beside && cp "$jsonl" beside/p.jsonl && mkdir beside/p.csv
expect_refusal 2 "beside/p.csv: a folder, not a file" "the .csv beside a policy file a folder" \
  t evaluate --instances Instances --runs 20 --quiet beside/p.jsonl
mkdir -p part/J30-U1-#${label}sch-LV-g1-1.csv.part
expect_refusal 2 "J30-U1-#${label}sch-LV-g1-1.csv.part: a folder, not a file" "--resume over a .part folder" \
  t --dataset J30 --groups 1 --dist U1 --quiet --reports part --resume
mkdir -p odd/j301_1.sm
expect_refusal 2 "odd/j301_1.sm" "an instance that is a folder" \
  t --dataset J30 --groups 1 --dist U1 --quiet --instances odd --reports oddr

# Paths inside a file run's records must be regular files: a device or a pipe would never end.
mkdir proj && cp "$psplib/j301_2.sm" proj/a.sm
t run --files proj --dist U1 --quiet --reports fr
mkfifo fifo
for target in /dev/zero /dev/urandom fifo; do
  sed "s|\"file\":\"proj/a.sm\"|\"file\":\"$target\"|" "fr/proj-U1-#${label}sch-LV.jsonl" > rec.jsonl
  expect_refusal 2 "Instance file $target cannot be opened: a" "evaluate of a record naming $target" \
    t evaluate --runs 20 --quiet rec.jsonl
  expect_refusal 2 "Instance file $target cannot be opened: a" "schedule of a record naming $target" \
    t schedule rec.jsonl a
done

# Devices and pipes on the command line: a device is refused, a pipe read once to its end.
expect_refusal 2 "/dev/zero: a device, not a regular file" "summarize of a device" t summarize /dev/zero
expect_refusal 2 "fifo: a pipe, not a regular file" "merge of a pipe" t merge fifo
plain=$(t summarize --format csv "$csv")
streamed=$(t summarize --format csv <(cat "$csv")); rc=$?
expect_eq "$rc" 0 "summarize of <(cat X.csv)"
expect_eq "$streamed" "$plain" "summarize of a process substitution"
streamed=$(cat "$csv" | t summarize --format csv /dev/stdin); rc=$?
expect_eq "$rc" 0 "summarize of a pipe on /dev/stdin"
expect_eq "$streamed" "$plain" "summarize of /dev/stdin"

# A results file whose last line lacks its line feed keeps that row.
head -c -1 "$csv" > cut.csv
[[ $(t summarize --format csv cut.csv) == "$plain" ]] || fail "a last line without its line feed is read"

# A full standard output is a failure, named.
expect_refusal 1 "standard output" "summarize > /dev/full" sh -c "\"$program\" summarize '$csv' > /dev/full"
expect_refusal 1 "standard output" "schedule > /dev/full" \
  sh -c "\"$program\" schedule --instances Instances '$jsonl' 1 1 > /dev/full"
finish
