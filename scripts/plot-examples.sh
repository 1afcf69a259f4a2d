#!/usr/bin/env bash
# Makes the example pictures of the README from the project's own runs: a J30 batch run over a
# few groups, one instance's schedule (nominal and one evaluation scenario) with its resource
# profiles, its makespan distributions, the run's overview, and a J120 Gantt chart.
#
#   scripts/plot-examples.sh OUTDIR [INSTANCES]     (INSTANCES: folder of the .sm files, default ../shared/psplib)
#
# TARVO names the program (default build/release/tarvo, built when missing); DPI the PNG
# resolution (default 200). The runs and their files stay in OUTDIR/runs for a look at the numbers.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: scripts/plot-examples.sh OUTDIR [INSTANCES]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
instances=$(cd "${2:-$root/../shared/psplib}" && pwd)
tarvo=${TARVO:-$root/build/release/tarvo}
dpi=${DPI:-200}
plot() { "$root/scripts/tarvoplot" "$@" --dpi "$dpi" >/dev/null; }
if [ ! -x "$tarvo" ]; then
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release --target tarvo >/dev/null)
fi

# The example instance: J30 group 1 instance 8 under U2, whose Phase 2 policy holds both kinds of arc.
set=J30 groups=1-8 dist=U2 group=1 instance=8
runs="$out/runs"
rm -rf "$runs"
mkdir -p "$runs"
echo "batch run: $set groups $groups, all distributions"
"$tarvo" --dataset $set --groups $groups --dist all --instances "$instances" --reports "$runs" --quiet
policies="$runs/$set-$dist-#5000sch-HV-g$groups.jsonl"
schedule() { "$tarvo" schedule --instances "$instances" --format json "$@"; }

schedule "$policies" $group $instance > "$runs/schedule-nominal.json"
plot gantt --profile "$runs/schedule-nominal.json" -o "$out/gantt-nominal"
echo "gantt-nominal: $set $dist group $group instance $instance, ph2, nominal durations"

# Scenarios and distributions come from tarvo evaluate; without it they are left out, said so.
if "$tarvo" evaluate --help >/dev/null 2>&1; then
  # The record alone, with its results row beside it (the search's own estimates).
  grep "\"group\":$group,\"instance\":$instance," "$policies" > "$runs/example.jsonl"
  { head -n 1 "${policies%.jsonl}.csv"; grep "^\([^,]*,\)\{6\}$group,$instance," "${policies%.jsonl}.csv"; } > "$runs/example.csv"
  "$tarvo" evaluate --runs 10000 --instances "$instances" --quiet --reports "$runs" --samples "$runs/samples.jsonl" "$runs/example.jsonl" >/dev/null
  plot distribution "$runs/samples.jsonl" -o "$out/distribution"
  echo "distribution: 10000 runs of ph1 and ph2 under $dist"
  schedule --scenario 1 "$policies" $group $instance > "$runs/schedule-scenario1.json"
  plot gantt --profile "$runs/schedule-scenario1.json" -o "$out/gantt-scenario1"
  echo "gantt-scenario1: the same policy in run 1 of the evaluation"
  mkdir -p "$runs/eval"
  "$tarvo" evaluate --runs 2000 --instances "$instances" --quiet --reports "$runs/eval" "$runs"/$set-*.jsonl >/dev/null
  plot overview "$runs"/$set-*-#5000sch-??-g$groups.csv --eval "$runs"/eval/*-eval-*.csv -o "$out/overview"
else
  echo "tarvo evaluate is not in this build: no distribution, scenario or out-of-sample pictures" >&2
  plot overview "$runs"/$set-*-#5000sch-??-g$groups.csv -o "$out/overview"
fi
echo "overview: $set groups $groups, five distributions"

# A J120 schedule: instance 1 of group 1 alone (the shard 1/10 of group 1), under U1 (LV: a chain
# of start-to-start arcs, the most arrows a policy has).
"$tarvo" --dataset J120 --groups 1 --dist U1 --shard 1/10 --instances "$instances" --reports "$runs" --quiet
schedule "$runs/J120-U1-#5000sch-LV-g1-1-shard1of10.jsonl" 1 1 > "$runs/schedule-j120.json"
plot gantt "$runs/schedule-j120.json" -o "$out/gantt-j120"
echo "gantt-j120: J120 U1 group 1 instance 1, ph2, nominal durations"
echo "pictures in $out (PNG and SVG)"
