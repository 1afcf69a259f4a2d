#!/usr/bin/env bash
# Runs on a real one-node Slurm cluster (scripts/slurm/local-cluster.sh): a stepped array merged,
# tasks without SLURM_ARRAY_TASK_MIN, a task stopped by SIGTERM and resubmitted with --resume, and
# a study from submission to its tables; each against the same runs made without Slurm.
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
  "./J30-U1-#5000sch-LV-shard1of4.csv ./J30-U1-#5000sch-LV-shard2of4.csv ./J30-U1-#5000sch-LV-shard3of4.csv ./J30-U1-#5000sch-LV-shard4of4.csv" \
  "tasks 1, 3, 5, 7 are shards 1..4 of 4"
"$program" merge --reports stepped stepped/*-shard*of4.csv >/dev/null || fail "merge of the stepped array"
for base in 'J30-U1-#5000sch-LV' 'J30-U2-#5000sch-HV'; do sameRun stepped "$base" "stepped array"; done

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
sameRun nomin 'J30-U1-#5000sch-LV' "array without its first id"

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

step "study J30 groups 1-2, U1 and U2, seeds 1-2, with j302_5 missing at first"
mkdir -p study/Instances
ln -s "$psplib"/j30*.sm study/Instances/
rm study/Instances/j302_5.sm
studyFlags=(--dataset J30 --groups 1-2 --dist U1,U2 --seeds 1-2 --tasks 3 --eval-runs 200 --time 5
            --build "$(dirname "$program")")
studyJobs() { cut -d' ' -f2 study/Reports/study/jobs; }
(cd study && bash "$here/scripts/slurm/study.sh" "${studyFlags[@]}") > study1.out || fail "study submission: $(cat study1.out)"
grep -q 'continue with:' study1.out || fail "the submission says how to continue: $(cat study1.out)"
# shellcheck disable=SC2046
waitJobs 90 $(studyJobs)
grep -q 'instance(s) missing' study/Reports/study/logs/merge-*.log || fail "the merge job names the missing instances"
[ ! -e study/Reports/study/study.md ] || fail "no tables for an incomplete study"
(cd study && bash "$here/scripts/slurm/study.sh" "${studyFlags[@]}") 2>study2.out
expect_eq "$?" 2 "a second submission without --resume is refused"
ln -s "$psplib/j302_5.sm" study/Instances/
step "study resubmitted with --resume"
(cd study && bash "$here/scripts/slurm/study.sh" "${studyFlags[@]}" --resume) > study3.out || fail "study resubmission"
# shellcheck disable=SC2046
waitJobs 90 $(studyJobs)
# Instance 15 (j302_5) is in shard 3 of 3: only that task is submitted again.
expect_eq "$(exitCodes "$(sed -n 's/^solve-standard //p' study/Reports/study/jobs)")" "3=0:0" \
  "the resubmission solves the open shard alone"
[ -s study/Reports/study/study.md ] && [ -s study/Reports/study/study.tex ] || fail "the study's tables: $(cat study/Reports/study/logs/*.log)"
# The same runs, evaluations and table without Slurm: equal but for the CPU column.
(cd study && "$program" run --dataset J30 --groups 1-2 --dist U1,U2 --seeds 1-2 --reports plain --quiet &&
  "$program" evaluate --runs 200 --quiet plain/*.jsonl >/dev/null) || fail "the study's runs without Slurm"
(cd study && "$program" summarize --format csv plain/*sch-??.csv plain/*-seed2.csv plain/*-eval-*.csv) > plain.csv
expect_eq "$(cut -d, -f1-11,13- study/Reports/study/study.csv)" "$(cut -d, -f1-11,13- plain.csv)" \
  "the study's table equals the one of the same runs without Slurm (CPU apart)"

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
