#!/usr/bin/env bash
# A whole study on a Slurm cluster in one submission: an array job per configuration solving the
# shards, then a merge job, an evaluation array and a summarize job that writes the tables.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/slurm/study.sh (--dataset SET [--groups A-B] | --files PATH... [--name NAME])
         [--dist LIST] [--methods LIST] [--configs LIST] [--seeds A-B]
         [--tasks N] [--time LIMIT] [--signal-lead SECONDS] [--partition P] [--account A] [--mem M]
         [--eval-runs N] [--eval-seed S] [--study NAME] [--reports DIR] [--instances DIR]
         [--build DIR] [--resume] [--dry-run]

Submits, from the folder holding Instances/ (or the project files) and the built programs:
  1. per configuration an array of N tasks; task K solves shard K/N of every (distribution,
     method, seed) of the study;
  2. a merge job (after the arrays, whatever their end) that merges each seed's shards and names
     the instances still missing;
  3. an evaluation array (after a clean merge), one task per merged policy file;
  4. a summarize job (after a clean evaluation) writing REPORTS/STUDY/STUDY.md, .csv and .tex.

  --dataset SET       J30, J60, J90 or J120; --groups A-B chooses parameter groups (all)
  --files PATH...     project files or folders instead (tarvo run --files); --name NAME their run name
  --dist LIST         U1,B1,U2,B2,EXP or all (all)
  --methods LIST      default, HV, LV, comma-separated (default); a method that comes to the same
                      runs as another (default under U2 is HV) is solved once
  --configs LIST      standard, extended (standard)
  --seeds A-B         replications (1-1)
  --tasks N           array tasks per configuration (10)
  --time LIMIT        time limit of every job, as sbatch takes it (12:00:00)
  --signal-lead S     SIGTERM this many seconds before the limit; the instance in hand finishes (120)
  --partition P, --account A, --mem M (512M)   passed to sbatch
  --eval-runs N       scenarios per policy in the evaluation (10000); --eval-seed S its seed (1)
  --study NAME        the study's name: its folder REPORTS/NAME holds plan, logs and tables (study)
  --reports DIR       folder of the results files (Reports); --instances DIR as for tarvo (Instances)
  --build DIR         folder of tarvo and tarvo-extended (build/release)
  --resume            continue a submitted study after time-outs: only unfinished work is submitted
  --dry-run           write the plan and print the sbatch commands without submitting them

Every task continues the files it finds (tarvo's --resume), so a task that Slurm requeues loses
nothing. Without --resume a study whose files exist is refused; a complete file is never
overwritten. Exit status: 0 submitted (or already complete); 1 sbatch failed; 2 wrong usage.
EOF
}

say() { echo "study: $*" >&2; }
refuse() { say "$*"; exit 2; }

# --- Task modes: the jobs call this script again, with the plan the submission wrote ----------

# runChild COMMAND...: runs a program so that a SIGTERM to this shell reaches it (a shell waiting
# for a child in the foreground would leave it running to the end of the job).
runChild() {
  "$@" &
  child=$!
  local rc=0
  # A trapped signal ends the wait early; bash keeps the child's status for the wait after.
  while kill -0 "$child" 2>/dev/null; do wait "$child" || true; done
  wait "$child" || rc=$?
  child=0
  return "$rc"
}
child=0
stopped=0
onStop() { stopped=1; [ "$child" -gt 0 ] && kill -TERM "$child" 2>/dev/null; return 0; }

# shardFiles BASE: the first file of every shard of BASE that exists, final or .part.
shardFiles() {
  local k f
  for k in $(seq 1 "$tasks"); do
    for f in "$1-shard${k}of${tasks}.csv" "$1-shard${k}of${tasks}.csv.part"; do
      [ -e "$f" ] && { echo "$f"; break; }
    done
  done
}

# evalFile BASE: the evaluation of BASE under the distribution searched, next to its policy file;
# its name carries the runs and the seed where they are not tarvo's defaults, as tarvo names it.
evalFile() {
  local d=${1##*/} extra=
  d=${d#"$set"-}
  [ "$evalRuns" -eq 10000 ] || extra+="-runs$evalRuns"
  [ "$evalSeed" -eq 1 ] || extra+="-seed$evalSeed"
  echo "$1-eval-${d%%-*}$extra.csv"
}

if [ "${1:-}" = --task ]; then
  [ $# -ge 3 ] || refuse "--task MODE PLAN [CONFIG]"
  mode=$2
  # shellcheck source=/dev/null
  source "$3"
  cd "$workdir"
  trap onStop TERM INT
  case "$mode" in
    solve)
      config=$4
      program=${programOf[$config]}
      shard=${SLURM_ARRAY_TASK_ID:?not an array task}
      # A method's run that ends incomplete (a missing instance file) does not keep the other
      # from running; a stop ends the task at once.
      worst=0
      for method in HV LV; do
        [ -n "${distsOf[$method]:-}" ] || continue
        [ "$stopped" -eq 0 ] || exit 143
        rc=0
        runChild "$program" run "${runFlags[@]}" --dist "${distsOf[$method]}" --method "$method" \
          --seeds "$seeds" --shard "$shard/$tasks" --reports "$reports" --quiet --resume || rc=$?
        [ "$rc" -le 128 ] || exit "$rc"
        [ "$rc" -le "$worst" ] || worst=$rc
      done
      [ "$stopped" -eq 0 ] || exit 143
      exit "$worst"
      ;;
    merge)
      incomplete=0
      for base in "${bases[@]}"; do
        config=${configOf[$base]}
        if [ -e "$base.csv" ]; then echo "complete, kept: $base.csv"; continue; fi
        mapfile -t parts < <(shardFiles "$base")
        if [ ${#parts[@]} -eq 0 ]; then echo "no shard of $base was written"; incomplete=1; continue; fi
        "${programOf[$config]}" merge --reports "$reports" "${parts[@]}" || incomplete=1
      done
      if [ "$incomplete" -ne 0 ]; then
        echo "Some runs are incomplete: submit the study again with --resume:"
        echo "  $resubmit"
        exit 1
      fi
      ;;
    evaluate)
      base=${bases[$((SLURM_ARRAY_TASK_ID - 1))]}
      config=${configOf[$base]}
      if [ -e "$(evalFile "$base")" ]; then echo "complete, kept: $(evalFile "$base")"; exit 0; fi
      rc=0
      runChild "${programOf[$config]}" evaluate --runs "$evalRuns" --seed "$evalSeed" --instances "$instances" \
        --quiet --resume "$base.jsonl" || rc=$?
      exit "$rc"
      ;;
    summarize)
      files=()
      for base in "${bases[@]}"; do files+=("$base.csv" "$(evalFile "$base")"); done
      for format in md:md csv:csv latex:tex; do
        out="$studyDir/$study.${format#*:}"
        if [ -e "$out" ]; then echo "complete, kept: $out"; continue; fi
        "${programOf[${configs[0]}]}" summarize --format "${format%:*}" "${files[@]}" > "$out.part"
        mv -- "$out.part" "$out"
        echo "wrote $out"
      done
      cat "$studyDir/$study.md"
      ;;
    *) refuse "unknown task mode $mode" ;;
  esac
  exit 0
fi

# --- Flags ----------------------------------------------------------------------------------

dataset= groups= groupsPart= name= dists=all methods=default configList=standard seeds=1-1 tasks=10
timeLimit=12:00:00 signalLead=120 partition= account= mem=512M evalRuns=10000 evalSeed=1
study=study reports=Reports instances=Instances build=build/release resume=0 dryRun=0
files=()
args=("$@")
need() { [ $# -ge 2 ] && [ -n "$2" ] || refuse "$1 needs a value (see --help)"; }
whole() { [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
while [ $# -gt 0 ]; do
  case "$1" in
    --dataset) need "$@"; dataset=$2; shift 2 ;;
    --groups) need "$@"; groups=$2; shift 2 ;;
    --files) shift; while [ $# -gt 0 ] && [[ "$1" != --* ]]; do files+=("$1"); shift; done ;;
    --name) need "$@"; name=$2; shift 2 ;;
    --dist) need "$@"; dists=$2; shift 2 ;;
    --methods) need "$@"; methods=$2; shift 2 ;;
    --configs) need "$@"; configList=$2; shift 2 ;;
    --seeds) need "$@"; seeds=$2; shift 2 ;;
    --tasks) need "$@"; tasks=$2; shift 2 ;;
    --time) need "$@"; timeLimit=$2; shift 2 ;;
    --signal-lead) need "$@"; signalLead=$2; shift 2 ;;
    --partition) need "$@"; partition=$2; shift 2 ;;
    --account) need "$@"; account=$2; shift 2 ;;
    --mem) need "$@"; mem=$2; shift 2 ;;
    --eval-runs) need "$@"; evalRuns=$2; shift 2 ;;
    --eval-seed) need "$@"; evalSeed=$2; shift 2 ;;
    --study) need "$@"; study=$2; shift 2 ;;
    --reports) need "$@"; reports=$2; shift 2 ;;
    --instances) need "$@"; instances=$2; shift 2 ;;
    --build) need "$@"; build=$2; shift 2 ;;
    --resume) resume=1; shift ;;
    --dry-run) dryRun=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) refuse "unknown flag or value: \"$1\" (see --help)" ;;
  esac
done

[ -n "$dataset" ] || [ ${#files[@]} -gt 0 ] || refuse "give --dataset SET or --files PATH... (see --help)"
[ -z "$dataset" ] || [ ${#files[@]} -eq 0 ] || refuse "give --dataset or --files, not both"
if [ -n "$dataset" ]; then
  case "${dataset^^}" in
    J30|1) set=J30 ;; J60|2) set=J60 ;; J90|3) set=J90 ;; J120|4) set=J120 ;;
    *) refuse "--dataset must be J30, J60, J90 or J120: \"$dataset\"" ;;
  esac
  [ -z "$name" ] || refuse "--name names a file run; a data set's files carry its name"
  runFlags=(--dataset "$set" --instances "$instances")
  if [ -n "$groups" ]; then
    last=48
    [ "$set" != J120 ] || last=60
    from=${groups%-*} to=${groups#*-}
    whole "$from" 1 "$last" && whole "$to" "$from" "$last" ||
      refuse "--groups must be A or A-B within 1..$last for $set: \"$groups\""
    runFlags+=(--groups "$groups")
    # A part of the set is named by its groups in every file of the run, as tarvo names it.
    [ "$from-$to" = "1-$last" ] || groupsPart="-g$from-$to"
  fi
else
  [ -z "$groups" ] || refuse "--groups belongs to --dataset"
  if [ -z "$name" ]; then  # tarvo's own default: the first path's base name
    name=$(basename "${files[0]%/}")
    [ -d "${files[0]}" ] || name=${name%.*}
  fi
  set=$name
  runFlags=(--files "${files[@]}" --name "$name")
fi
[[ "$seeds" =~ ^([0-9]+)-([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -le "${BASH_REMATCH[2]}" ] ||
  refuse "--seeds must be A-B with A <= B: \"$seeds\""
firstSeed=${BASH_REMATCH[1]} lastSeed=${BASH_REMATCH[2]}
whole "$tasks" 1 10000 || refuse "--tasks must be a number 1..10000: \"$tasks\""
whole "$signalLead" 0 65535 || refuse "--signal-lead must be seconds 0..65535: \"$signalLead\""
whole "$evalRuns" 2 100000000 || refuse "--eval-runs must be a number 2..100000000: \"$evalRuns\""
whole "$evalSeed" 0 4294967295 || refuse "--eval-seed must be a number 0..4294967295: \"$evalSeed\""
[[ "$study" =~ ^[A-Za-z0-9_.+-]{1,64}$ ]] || refuse "--study must be 1..64 letters, digits or _ . + -: \"$study\""

# The (distribution, method) pairs the study solves, each once.
[ "${dists,,}" = all ] && dists=U1,B1,U2,B2,EXP
declare -A distsOf=()
IFS=, read -r -a distList <<<"${dists^^}"
IFS=, read -r -a methodList <<<"$methods"
for d in "${distList[@]}"; do
  case "$d" in U1|B1) low=1 ;; U2|B2|EXP) low=0 ;; *) refuse "unknown distribution \"$d\" in --dist" ;; esac
  for m in "${methodList[@]}"; do
    case "${m^^}" in
      DEFAULT) [ "$low" -eq 1 ] && m=LV || m=HV ;;
      HV|LV) m=${m^^} ;;
      *) refuse "unknown method \"$m\" in --methods (default, HV or LV)" ;;
    esac
    [[ ",${distsOf[$m]:-}," == *",$d,"* ]] || distsOf[$m]=${distsOf[$m]:+${distsOf[$m]},}$d
  done
done

# Programs and their report labels, from the programs themselves.
declare -A programOf=() labelOf=()
IFS=, read -r -a configs <<<"$configList"
for c in "${configs[@]}"; do
  case "$c" in standard) p=tarvo ;; extended) p=tarvo-extended ;; *) refuse "unknown configuration \"$c\" in --configs" ;; esac
  [ -z "${programOf[$c]:-}" ] || refuse "configuration \"$c\" given twice"
  [ -x "$build/$p" ] || refuse "$build/$p is not built (cmake --build --preset release --target $p)"
  programOf[$c]=$(cd "$build" && pwd)/$p
  labelOf[$c]=$("${programOf[$c]}" --version | sed -n 's/.*report label \([0-9]*\).*/\1/p')
  [ -n "${labelOf[$c]}" ] || refuse "$build/$p --version names no report label"
done

command -v sbatch >/dev/null || [ "$dryRun" -eq 1 ] || refuse "sbatch is not installed here: submit from a node of the cluster"
workdir=$(pwd)
mkdir -p "$reports"
reports=$(cd "$reports" && pwd)
studyDir="$reports/$study"

# Every merged run of the study, by its file base, with its configuration.
bases=()
declare -A configOf=()
for c in "${configs[@]}"; do
  for m in HV LV; do
    [ -n "${distsOf[$m]:-}" ] || continue
    IFS=, read -r -a ds <<<"${distsOf[$m]}"
    for d in "${ds[@]}"; do
      for s in $(seq "$firstSeed" "$lastSeed"); do
        b="$reports/$set-$d-#${labelOf[$c]}sch-$m$groupsPart"
        [ "$s" -eq 1 ] || b+="-seed$s"
        bases+=("$b")
        configOf[$b]=$c
      done
    done
  done
done

# --- What exists already ----------------------------------------------------------------------

# The plan the jobs read. A study submitted again must be the same study.
plan="$studyDir/plan.sh"
resubmit="bash $(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/study.sh"
for a in "${args[@]}"; do [ "$a" = --dry-run ] || resubmit+=" $(printf '%q' "$a")"; done
[ "$resume" -eq 1 ] || resubmit+=" --resume"
newPlan=$(
  echo "# The plan of study $study, written at its submission and read by its jobs."
  declare -p workdir reports instances study studyDir set seeds tasks evalRuns evalSeed runFlags distsOf \
    programOf configs bases configOf
)
if [ -e "$plan" ] && [ "$(grep -v '^declare -- resubmit=' "$plan")" != "$newPlan" ]; then
  refuse "$plan holds another study (other flags or programs); resume with the flags it was submitted with, or choose another --study"
fi
tables=("$studyDir/$study.md" "$studyDir/$study.csv" "$studyDir/$study.tex")
if [ -e "${tables[0]}" ] && [ -e "${tables[1]}" ] && [ -e "${tables[2]}" ]; then
  echo "The study $study is complete: ${tables[0]} (and .csv, .tex)."
  exit 0
fi
existing=()
for b in "${bases[@]}"; do
  for f in "$b".* "$b"-shard* "$b"-eval-*; do [ -e "$f" ] && existing+=("$f"); done
done
# A dry run leaves a plan but no jobs.
[ -e "$studyDir/jobs" ] && existing+=("$studyDir/jobs")
if [ "$resume" -eq 0 ] && [ ${#existing[@]} -gt 0 ]; then
  refuse "this study's files exist already (${existing[0]}, ${#existing[@]} in all): continue it with --resume, or choose another --study and --reports"
fi
# Jobs of the last submission that are still queued would write the same files.
if [ -s "$studyDir/jobs" ] && [ "$dryRun" -eq 0 ]; then
  queued=()
  while read -r what id; do
    [ -z "$(squeue --noheader --jobs="$id" --format=%i 2>/dev/null)" ] || queued+=("$what $id")
  done < "$studyDir/jobs"
  [ ${#queued[@]} -eq 0 ] ||
    refuse "jobs of the last submission are still queued (${queued[*]}): wait for them to end, or scancel them, then --resume"
fi
mkdir -p "$studyDir/logs"
printf '%s\n' "$newPlan" > "$plan.new"
declare -p resubmit >> "$plan.new"
mv -- "$plan.new" "$plan"

# --- Submission -------------------------------------------------------------------------------

self="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"
common=(--parsable --chdir="$workdir" --time="$timeLimit" --kill-on-invalid-dep=yes --cpus-per-task=1 --mem="$mem")
[ -z "$partition" ] || common+=(--partition="$partition")
[ -z "$account" ] || common+=(--account="$account")
# submit WHAT SBATCH-ARGS...: submits one job of the study and prints its id.
submit() {
  local what=$1 id
  shift
  if [ "$dryRun" -eq 1 ]; then
    printf 'sbatch' >&2; printf ' %q' "${common[@]}" "$@" >&2; echo >&2
    id="dry-$what"
  else
    if ! id=$(sbatch "${common[@]}" "$@"); then
      say "sbatch refused the $what job; nothing more submitted"
      [ ! -s "$jobs" ] || say "submitted before it: $(paste -sd' ' "$jobs") (scancel $(cut -d' ' -f2 "$jobs" | paste -sd' ' -) withdraws them)"
      exit 1
    fi
    id=${id%%;*}
  fi
  echo "$what $id" >> "$jobs"
  echo "$id"
}
# ranges: the numbers on standard input, ascending, as Slurm's --array takes them ("1-4,7,9-10").
ranges() {
  awk 'function put() { out = out (out == "" ? "" : ",") (a == b ? a : a "-" b) }
       NR == 1 { a = b = $1; next } $1 == b + 1 { b = $1; next } { put(); a = b = $1 }
       END { if (NR) { put(); print out } }'
}
# The shards of configuration C with work left: a shard is done when every run of C is merged or
# has the shard's final file.
openShards() {
  local k b open
  for k in $(seq 1 "$tasks"); do
    open=0
    for b in "${bases[@]}"; do
      [ "${configOf[$b]}" = "$1" ] || continue
      [ -e "$b.csv" ] || [ -e "$b-shard${k}of${tasks}.csv" ] || { open=1; break; }
    done
    [ "$open" -eq 0 ] || echo "$k"
  done
}

jobs=$studyDir/jobs
[ "$dryRun" -eq 0 ] || jobs=$studyDir/jobs.dry
: > "$jobs"
arrays=()
for c in "${configs[@]}"; do
  list=$(openShards "$c" | ranges)
  [ -n "$list" ] || { echo "$c: every shard is solved"; continue; }
  arrays+=("$(submit "solve-$c" --array="$list" --job-name="$study-solve-$c" --signal=B:TERM@"$signalLead" \
    --output="$studyDir/logs/solve-$c-%A_%a.log" "$self" --task solve "$plan" "$c")")
done
dep=()
[ ${#arrays[@]} -eq 0 ] || dep=(--dependency="afterany:$(IFS=:; echo "${arrays[*]}")")
merge=$(submit merge "${dep[@]}" --job-name="$study-merge" --output="$studyDir/logs/merge-%j.log" \
  "$self" --task merge "$plan")
open=()
for i in "${!bases[@]}"; do [ -e "$(evalFile "${bases[$i]}")" ] || open+=($((i + 1))); done
after=$merge
if [ ${#open[@]} -gt 0 ]; then
  after=$(submit evaluate --array="$(printf '%s\n' "${open[@]}" | ranges)" --dependency="afterok:$merge" \
    --job-name="$study-evaluate" --signal=B:TERM@"$signalLead" --output="$studyDir/logs/evaluate-%A_%a.log" \
    "$self" --task evaluate "$plan")
fi
summary=$(submit summarize --dependency="afterok:$after" --job-name="$study-summarize" \
  --output="$studyDir/logs/summarize-%j.log" "$self" --task summarize "$plan")

[ "$dryRun" -eq 0 ] || { echo "Dry run: the plan is $plan; nothing was submitted."; exit 0; }
echo "Submitted study $study (${#bases[@]} runs, $tasks tasks per configuration):"
while read -r what id; do echo "  $what: job $id"; done < "$jobs"
cat <<EOF
Follow it:    squeue --jobs=$(cut -d' ' -f2 "$jobs" | paste -sd, -)
Logs:         $studyDir/logs/
Tables:       $studyDir/$study.md, .csv and .tex, when job $summary has ended
After time-outs (the merge log names what is missing), continue with:
  $resubmit
EOF
