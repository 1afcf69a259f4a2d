#!/usr/bin/env bash
# Slurm array job: every task solves one shard of the run; no arguments beyond the run's own are
# needed, since tarvo takes its shard from the task's place in the array (ids A, A+S, ... of
# --array=A-B:S) and the array's size.
# Submit from the folder holding Instances/ and the built program:
#   sbatch --array=1-20 scripts/slurm/tarvo-array.sh --dataset J120 --dist all
# then, when every task has ended:
#   build/release/tarvo merge Reports/*-shard*of20.csv
# A task stopped at its time limit keeps its finished instances: resubmit the same array with
# --resume (finished shards end at once). A part of the array alone (--array=3,7) has another size
# and is refused; scripts/slurm/study.sh resubmits single shards by their numbers.
#SBATCH --job-name=tarvo
#SBATCH --cpus-per-task=1
#SBATCH --mem=512M
#SBATCH --time=12:00:00
#SBATCH --output=tarvo-%A_%a.log
#SBATCH --signal=B:TERM@120
set -euo pipefail
program=${TARVO_PROGRAM:-build/release/tarvo}
exec "$program" "$@"
