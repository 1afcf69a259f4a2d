#!/usr/bin/env bash
# Runs on a real one-node Slurm cluster (scripts/slurm/local-cluster.sh): a stepped array merged,
# tasks without SLURM_ARRAY_TASK_MIN, a task stopped by SIGTERM and resubmitted with --resume, a
# study from submission to its tables, and a study whose task is stopped as at its time limit and
# resubmitted; each against the same runs made without Slurm.
#
# Slurm needs root. As root the test always runs, and fails when the cluster cannot start (CI runs
# it as root on a fresh machine; the start installs the packages). Without root it skips, unless
# the environment variable CI is set, where a skip would hide that the test never ran.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$here/tests/cli/lib.bash"
cluster="$here/scripts/slurm/local-cluster.sh"

# One run per CI: the script and Slurm do not depend on the configuration or the build kind.
if [ "$config" != standard ] || [ "$kind" != release ]; then
  echo "skipped: the Slurm test runs once, with the standard configuration's release build"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  if [ -n "${CI:-}" ]; then echo "FAIL: CI is set but the Slurm test is not run as root"; exit 1; fi
  echo "skipped: Slurm's daemons need root (run the suite as root, or set CI to make this a failure)"
  exit 0
fi

started=$SECONDS
# The cluster is always stopped, whatever fails; the scratch folder goes after it.
clusterDir="$scratch/cluster"
stopCluster() {
  [ -f "$clusterDir/pids" ] || return 0
  cp "$clusterDir/pids" "$scratch/pids.started"
  bash "$cluster" stop "$clusterDir" >"$scratch/stop.out" 2>&1
}
trap 'stopCluster; rm -rf "$scratch"' EXIT

step() { echo "== $* ($((SECONDS - started)) s)"; }

step "starting the cluster"
if ! bash "$cluster" start "$clusterDir" >start.out 2>&1; then
  cat start.out
  echo "FAIL: the local Slurm cluster did not start"
  exit 1
fi
export SLURM_CONF="$clusterDir/slurm.conf"
status=$(bash "$cluster" status "$clusterDir" 2>&1) || fail "local-cluster.sh status: $status"
expect_eq "$(grep -c ': running (pid' <<<"$status")" 3 "status names the three daemons running"
grep -q "idle" <<<"$status" || fail "status shows the idle node: $status"
if command -v setpriv >/dev/null; then
  # The script comes on standard input: the unprivileged user may not be able to read the checkout
  # (a clone in a private temporary folder), and the refusal must come from the script itself.
  refusal=$(setpriv --reuid=65534 --regid=65534 --clear-groups bash -s start < "$cluster" 2>&1); rc=$?
  expect_eq "$rc" 2 "a start without root is refused"
  grep -q 'must run as root' <<<"$refusal" || fail "and says why: $refusal"
fi
ln -s "$psplib" Instances
mkdir logs
sbatchArgs=(--parsable --chdir="$scratch" --time=5 --output="$scratch/logs/%x-%A_%a.log")
array="$here/scripts/slurm/tarvo-array.sh"
export TARVO_PROGRAM=$program

# waitJobs SECONDS ID...: waits, boundedly, until none of the jobs is pending or running.
waitJobs() {
  local limit=$(($1 * 10)) n=0 ids
  shift
  ids=$(IFS=,; echo "$*")
  while [ -n "$(squeue --noheader --jobs="$ids" --states=PENDING,RUNNING,CONFIGURING,COMPLETING,SUSPENDED \
                  --format=%i 2>/dev/null)" ]; do
    n=$((n + 1))
    [ "$n" -le "$limit" ] || { fail "jobs $ids still queued after $((limit / 10)) s"; squeue; return 1; }
    sleep 0.1
  done
}
# exitCodes ID: "task=exit:signal" of every task of an array job, in task order.
exitCodes() {
  scontrol --oneliner show job "$1" | sed -n 's/.*ArrayTaskId=\([0-9]*\) .*ExitCode=\([0-9:]*\).*/\1=\2/p' | sort -n | paste -sd' ' -
}
# Results rows without cpu_seconds and host; policy lines whole.
rows() { cut -d, -f1-16,18-19 "$1"; }
sameRun() {  # sameRun DIR BASE WHAT [REFERENCE]: DIR's merged files of BASE equal the one-process run's
  local ref=${4:-one}
  expect_eq "$(rows "$1/$2.csv")" "$(rows "$ref/$2.csv")" "$3: results rows of $2"
  cmp -s "$1/$2.jsonl" "$ref/$2.jsonl" || fail "$3: policy file $2.jsonl differs"
}

# --- A stepped array ------------------------------------------------------------------------

step "array --array=1-7:2 over J30 groups 1-4, U1 and U2"
"$program" run --dataset J30 --groups 1-4 --dist U1,U2 --reports one --quiet || fail "one-process run"
job=$(sbatch "${sbatchArgs[@]}" --job-name=stepped --array=1-7:2 "$array" run --dataset J30 --groups 1-4 \
        --dist U1,U2 --reports stepped --quiet) || fail "sbatch of the stepped array"
waitJobs 60 "$job"
expect_eq "$(exitCodes "$job")" "1=0:0 3=0:0 5=0:0 7=0:0" "exit codes of the stepped tasks"
expect_eq "$(cd stepped && ls ./*U1*shard*.csv | paste -sd' ' -)" \
  "./J30-U1-#5000sch-LV-g1-4-shard1of4.csv ./J30-U1-#5000sch-LV-g1-4-shard2of4.csv ./J30-U1-#5000sch-LV-g1-4-shard3of4.csv ./J30-U1-#5000sch-LV-g1-4-shard4of4.csv" \
  "tasks 1, 3, 5, 7 are shards 1..4 of 4"
"$program" merge --reports stepped stepped/*-shard*of4.csv >/dev/null || fail "merge of the stepped array"
for base in 'J30-U1-#5000sch-LV-g1-4' 'J30-U2-#5000sch-HV-g1-4'; do sameRun stepped "$base" "stepped array"; done

# --- Tasks without SLURM_ARRAY_TASK_MIN ------------------------------------------------------

step "array --array=2-6:2 with SLURM_ARRAY_TASK_MIN unset"
cat > nomin.sh <<EOF
#!/usr/bin/env bash
exec env -u SLURM_ARRAY_TASK_MIN "$program" "\$@"
EOF
chmod +x nomin.sh
job=$(TARVO_PROGRAM=$scratch/nomin.sh sbatch "${sbatchArgs[@]}" --job-name=nomin --array=2-6:2 "$array" run \
        --dataset J30 --groups 1-4 --dist U1 --reports nomin --quiet) || fail "sbatch of the array without its first id"
waitJobs 60 "$job"
expect_eq "$(exitCodes "$job")" "2=0:0 4=0:0 6=0:0" "exit codes without SLURM_ARRAY_TASK_MIN"
"$program" merge --reports nomin nomin/*-shard*of3.csv >/dev/null || fail "merge of the shards without a first id"
sameRun nomin 'J30-U1-#5000sch-LV-g1-4' "array without its first id"

# --- A task stopped by SIGTERM, resubmitted with --resume ---------------------------------------

step "the whole of J30 under U1 and U2 as two tasks; task 1 is sent SIGTERM"
preempt=(run --dataset J30 --dist U1,U2 --reports preempt --quiet)
job=$(sbatch "${sbatchArgs[@]}" --job-name=preempt --array=1-2 "$array" "${preempt[@]}") || fail "sbatch of the array"
part="preempt/J30-U1-#5000sch-LV-shard1of2.csv.part"
for ((n = 0; n < 600; ++n)); do  # until task 1 has finished its first instances
  [ -f "$part" ] && [ "$(wc -l < "$part")" -ge 3 ] && break
  sleep 0.05
done
scancel --signal=TERM --full "${job}_1" || fail "scancel --signal=TERM --full"
waitJobs 60 "$job"
codes=$(exitCodes "$job")
expect_eq "${codes%% *}" "1=143:0" "exit code of the task sent SIGTERM"
expect_eq "${codes#* }" "2=0:0" "exit code of the task left alone"
grep -q 'stopped by signal 15' logs/preempt-"${job}"_1.log || fail "the stopped task says so: $(cat logs/preempt-"${job}"_1.log)"
# The stopped task's files are valid: merge takes them and names only what is still to solve.
merged=$("$program" merge --reports check preempt/*shard*of2.csv preempt/*shard*of2.csv.part 2>&1); rc=$?
expect_eq "$rc" 1 "merge of a stopped task's .part files: some instances missing, nothing damaged"
grep -q 'instance(s) missing' <<<"$merged" || fail "merge names the missing instances: $merged"
kept=$(($(wc -l < "$part") - 1))
step "resubmitted with --resume ($kept U1 instances of task 1 were finished)"
job=$(sbatch "${sbatchArgs[@]}" --job-name=resume --array=1-2 "$array" "${preempt[@]}" --resume) ||
  fail "sbatch of the resumed array"
"$program" "${preempt[@]/preempt/whole}" || fail "one-process run of the whole set"
waitJobs 90 "$job"
expect_eq "$(exitCodes "$job")" "1=0:0 2=0:0" "exit codes of the resumed tasks"
"$program" merge --reports preempt preempt/*-shard*of2.csv >/dev/null || fail "merge of the resumed array"
for base in 'J30-U1-#5000sch-LV' 'J30-U2-#5000sch-HV'; do sameRun preempt "$base" "stopped and resumed" whole; done

# --- A study from submission to its tables ------------------------------------------------------

study() { (cd "$1" && shift && bash "$here/scripts/slurm/study.sh" "$@"); }
studyJobs() { cut -d' ' -f2 "$1/Reports/study/jobs"; }
studyJob() { sed -n "s/^$2 //p" "$1/Reports/study/jobs"; }

step "study J30 groups 1-2, U1 and U2, seeds 1-2"
mkdir study && ln -s "$psplib" study/Instances
study study --dataset J30 --groups 1-2 --dist U1,U2 --seeds 1-2 --tasks 3 --eval-runs 200 --time 5 \
  --build "$(dirname "$program")" > study.out || fail "study submission: $(cat study.out)"
grep -q 'continue with:' study.out || fail "the submission says how to continue: $(cat study.out)"
# shellcheck disable=SC2046
waitJobs 90 $(studyJobs study)
[ -s study/Reports/study/study.md ] && [ -s study/Reports/study/study.tex ] ||
  fail "the study's tables: $(cat study/Reports/study/logs/*.log)"
# The same runs, evaluations and table without Slurm: equal but for the CPU column.
(cd study && "$program" run --dataset J30 --groups 1-2 --dist U1,U2 --seeds 1-2 --reports plain --quiet &&
  "$program" evaluate --runs 200 --quiet plain/*.jsonl >/dev/null) || fail "the study's runs without Slurm"
(cd study && "$program" summarize --format csv plain/*sch-??-g1-2.csv plain/*-seed2.csv plain/*-eval-*.csv) > plain.csv
expect_eq "$(cut -d, -f1-11,13- study/Reports/study/study.csv)" "$(cut -d, -f1-11,13- plain.csv)" \
  "the study's table equals the one of the same runs without Slurm (CPU apart)"

# --- A study whose task reaches its time limit, resubmitted with --resume -------------------------

# At a time limit Slurm signals the batch shell alone (--signal=B:TERM), as scancel --batch does:
# the task's shell must pass the signal on to tarvo.
step "study of J30 under U1 and U2 in two tasks; task 1 gets SIGTERM as at its time limit"
mkdir timeout && ln -s "$psplib" timeout/Instances
timeoutFlags=(--dataset J30 --dist U1,U2 --tasks 2 --eval-runs 2 --time 5 --build "$(dirname "$program")")
study timeout "${timeoutFlags[@]}" > timeout1.out || fail "study submission: $(cat timeout1.out)"
solve=$(studyJob timeout solve-standard)
part="timeout/Reports/J30-U1-#5000sch-LV-shard1of2.csv.part"
for ((n = 0; n < 600; ++n)); do
  [ -f "$part" ] && [ "$(wc -l < "$part")" -ge 3 ] && break
  sleep 0.05
done
scancel --signal=TERM --batch "${solve}_1" || fail "scancel --signal=TERM --batch"
# shellcheck disable=SC2046
waitJobs 90 $(studyJobs timeout)
expect_eq "$(exitCodes "$solve")" "1=143:0 2=0:0" "exit codes of the study's tasks"
[ -f "$part" ] || fail "the signal reaches tarvo through the task's shell: its pass stops in the middle"
grep -q 'instance(s) missing' timeout/Reports/study/logs/merge-*.log || fail "the merge job names the missing instances"
for job in evaluate summarize; do
  scontrol --oneliner show job "$(studyJob timeout "$job")" | grep -q 'JobState=CANCELLED' ||
    fail "the $job job is cancelled after an incomplete merge"
done
[ ! -e timeout/Reports/study/study.md ] || fail "no tables for an incomplete study"
study timeout "${timeoutFlags[@]}" 2>timeout2.out
expect_eq "$?" 2 "a second submission without --resume is refused"
step "study resubmitted with --resume"
study timeout "${timeoutFlags[@]}" --resume > timeout3.out || fail "study resubmission: $(cat timeout3.out)"
# shellcheck disable=SC2046
waitJobs 90 $(studyJobs timeout)
expect_eq "$(exitCodes "$(studyJob timeout solve-standard)")" "1=0:0" "the resubmission solves the open shard alone"
[ -s timeout/Reports/study/study.md ] || fail "the resumed study's tables: $(cat timeout/Reports/study/logs/*.log)"
for base in 'J30-U1-#5000sch-LV' 'J30-U2-#5000sch-HV'; do sameRun timeout/Reports "$base" "study stopped and resumed" whole; done
study timeout "${timeoutFlags[@]}" --resume > timeout4.out
grep -q 'is complete' timeout4.out || fail "a complete study is said to be complete: $(cat timeout4.out)"

# --- Nothing left running ----------------------------------------------------------------------

step "stopping the cluster"
stopCluster || fail "local-cluster.sh stop: $(cat "$scratch/stop.out")"
while read -r name pid; do
  [ ! -d "/proc/$pid" ] || [ -z "$(tr -d '\0' < "/proc/$pid/cmdline" 2>/dev/null)" ] || fail "$name (pid $pid) still runs"
done < "$scratch/pids.started"
for p in /proc/[0-9]*; do
  if tr '\0' ' ' < "$p/cmdline" 2>/dev/null | grep -qF "$clusterDir"; then fail "a process of the cluster still runs: $p"; fi
done
[ ! -e "$clusterDir" ] || fail "the cluster's folder is left behind"
step "done"
finish
