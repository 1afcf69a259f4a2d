#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for the tests and for trying the cluster workflow:
# munge, slurmctld and slurmd with their key, configuration, state and logs in one folder.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/slurm/local-cluster.sh start [DIR]
       scripts/slurm/local-cluster.sh stop|status [DIR]

start   installs slurm-wlm and munge when missing (Debian, apt-get), writes a one-node
        configuration for this machine (its name and CPU count) into DIR (default: a new
        folder under $TMPDIR or /tmp), starts munged, slurmctld and slurmd, and waits until the
        node is idle. It prints the line to give the Slurm commands this cluster:
            export SLURM_CONF=DIR/slurm.conf
stop    cancels the cluster's jobs, ends exactly the three daemons start recorded (by their
        process ids) and removes DIR.
status  says which of the recorded daemons run, and shows the node and the queue.

DIR defaults, for stop and status, to the folder of $SLURM_CONF. Needs root: the daemons run
jobs as their submitters. Nothing outside DIR is changed, apart from installing the packages.

Exit status: 0 done; 1 the cluster could not start or stop; 2 wrong usage or not root.
EOF
}

say() { echo "local-cluster: $*" >&2; }
fail() { say "$*"; exit 1; }

command=${1:-}
case "$command" in
  start|stop|status) ;;
  -h|--help) usage; exit 0 ;;
  *) usage >&2; exit 2 ;;
esac
[ $# -le 2 ] || { usage >&2; exit 2; }
dir=${2:-}

if [ "$(id -u)" -ne 0 ]; then
  say "must run as root (the daemons start jobs as the users who submit them): sudo bash $0 $command${dir:+ $dir}"
  exit 2
fi

# Seconds to wait for the node to become idle, and for daemons and jobs to end.
startWait=${TARVO_SLURM_START_WAIT:-60}
stopWait=30

# --- Finding the cluster's folder -----------------------------------------------------------

if [ -z "$dir" ] && [ "$command" != start ]; then
  [ -n "${SLURM_CONF:-}" ] || fail "which cluster? give its folder (start printed it) or set SLURM_CONF"
  dir=$(dirname "$SLURM_CONF")
fi
if [ "$command" != start ]; then
  [ -f "$dir/pids" ] || fail "$dir holds no cluster started by this script (no $dir/pids)"
  dir=$(cd "$dir" && pwd)
  export SLURM_CONF="$dir/slurm.conf"
fi

# alive PID NAME: the process PID runs and is the daemon NAME of this cluster (its command line
# names this folder), so a process id the system has reused is never taken for ours.
alive() {
  [ -r "/proc/$1/cmdline" ] || return 1
  local cmd
  cmd=$(tr '\0' ' ' < "/proc/$1/cmdline" 2>/dev/null) || return 1
  [[ "$cmd" == *"$2"* && "$cmd" == *"$dir"* ]]
}

# --- status ---------------------------------------------------------------------------------

if [ "$command" = status ]; then
  down=0
  while read -r name pid; do
    if alive "$pid" "$name"; then echo "$name: running (pid $pid)"; else echo "$name: not running (pid $pid)"; down=1; fi
  done < "$dir/pids"
  echo "export SLURM_CONF=$SLURM_CONF"
  sinfo --noheader --format='node %N: %T, %c CPUs' 2>&1 || down=1
  squeue 2>&1 || down=1
  exit "$down"
fi

# --- stop -----------------------------------------------------------------------------------

# Jobs first, while the daemons can still end them: a job's step daemon outlives slurmd.
stopJobs() {
  local waited=0 jobs
  jobs=$(squeue --noheader --format=%i 2>/dev/null | sort -u) || return 0
  [ -n "$jobs" ] && scancel --quiet $jobs >/dev/null 2>&1
  while [ -n "$(squeue --noheader --states=PENDING,RUNNING,SUSPENDED,COMPLETING,CONFIGURING --format=%i 2>/dev/null)" ]; do
    [ "$waited" -ge "$stopWait" ] && { say "jobs still listed after ${stopWait}s"; return 0; }
    sleep 1
    waited=$((waited + 1))
  done
}

stopDaemons() {  # in the reverse order of their start
  local status=0 name pid waited
  while read -r name pid; do
    alive "$pid" "$name" || continue
    kill -TERM "$pid" 2>/dev/null || true
    waited=0
    while alive "$pid" "$name" && [ "$waited" -lt $((stopWait * 10)) ]; do sleep 0.1; waited=$((waited + 1)); done
    if alive "$pid" "$name"; then
      say "$name (pid $pid) did not end within ${stopWait}s of SIGTERM; sending SIGKILL"
      kill -KILL "$pid" 2>/dev/null || true
      sleep 0.5
      alive "$pid" "$name" && { say "$name (pid $pid) is still running"; status=1; }
    fi
  done < <(tac "$dir/pids")
  return "$status"
}

if [ "$command" = stop ]; then
  if grep -q '^slurmctld ' "$dir/pids" && alive "$(awk '$1 == "slurmctld" {print $2}' "$dir/pids")" slurmctld; then
    stopJobs
  fi
  stopDaemons || fail "some daemons are still running; $dir is kept"
  rm -rf -- "$dir"
  say "stopped; removed $dir"
  exit 0
fi

# --- start: packages ------------------------------------------------------------------------

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null || ! command -v sbatch >/dev/null ||
   ! command -v munged >/dev/null; then
  command -v apt-get >/dev/null || fail "slurm-wlm and munge are missing and this is no Debian system: install them"
  say "installing slurm-wlm and munge"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null || fail "apt-get update failed"
  apt-get install -y -qq --no-install-recommends slurm-wlm munge >/dev/null || fail "apt-get install slurm-wlm munge failed"
fi
export PATH="$PATH:/usr/sbin:/sbin"

# --- start: folder, key, configuration ------------------------------------------------------

if [ -z "$dir" ]; then
  dir=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-slurm.XXXXXX")
else
  [ ! -e "$dir/pids" ] || fail "$dir already holds a cluster: stop it first"
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
fi
# The submitters, who need not be root, read the configuration and reach munge's socket.
chmod 755 "$dir"
mkdir -p "$dir/munge" "$dir/state" "$dir/spool" "$dir/log"
chmod 755 "$dir/munge"  # the socket is reached by every submitter; the key itself is 0400
chmod 755 "$dir/state" "$dir/spool" "$dir/log"
: > "$dir/pids"
export SLURM_CONF="$dir/slurm.conf"

# If start fails half-way, what it started is ended again and the folder removed.
started=0
abandon() {
  [ "$started" -eq 1 ] && return
  say "start failed; the logs were:"
  for f in "$dir"/log/*.log; do [ -s "$f" ] && { echo "--- $f" >&2; tail -n 20 "$f" >&2; }; done
  stopDaemons || true
  rm -rf -- "$dir"
}
trap abandon EXIT

key="$dir/munge/munge.key"
dd if=/dev/urandom of="$key" bs=1024 count=1 status=none
chmod 400 "$key"

# freePort FROM: the first port from FROM on where nothing on this machine answers, so two
# clusters (two test runs) can run side by side.
freePort() {
  local port=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
  echo "$port"
}
ctldPort=$(freePort $((20000 + RANDOM % 20000)))
slurmdPort=$(freePort $((ctldPort + 1)))

host=$(hostname -s)
# The node as slurmd itself sees the hardware (sockets, cores, threads, memory), so it is not
# drained for a configuration that differs from it; the CPU count alone where that fails.
hardware=$(slurmd -C 2>/dev/null | sed -n 's/^NodeName=[^ ]* //p' | head -n 1)
[ -n "$hardware" ] || hardware="CPUs=$(nproc)"

cat > "$SLURM_CONF" <<EOF
# One-node cluster of scripts/slurm/local-cluster.sh; everything it keeps is under $dir.
ClusterName=tarvo-local
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctldPort
SlurmdPort=$slurmdPort
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool/%n
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
# No cgroups: the process tracking and task plugins that need nothing of the machine.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
# Several jobs share the node, one core each; memory is not counted.
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
# Ended jobs stay listed for an hour, with their exit codes (there is no accounting database).
MinJobAge=3600
InactiveLimit=0
KillWait=10
NodeName=$host NodeAddr=127.0.0.1 $hardware State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
chmod 644 "$SLURM_CONF"

# --- start: daemons -------------------------------------------------------------------------

# startDaemon NAME PIDFILE COMMAND...: starts a daemon that forks into the background and
# records the process id it writes into PIDFILE.
startDaemon() {
  local name=$1 pidFile=$2 waited=0 pid=
  shift 2
  "$@" </dev/null >>"$dir/log/$name.out" 2>&1 || fail "$name did not start (see $dir/log/$name.out)"
  while [ "$waited" -lt 100 ]; do
    [ -s "$pidFile" ] && pid=$(head -n 1 "$pidFile") && alive "$pid" "$name" && break
    pid=
    sleep 0.1
    waited=$((waited + 1))
  done
  [ -n "$pid" ] || fail "$name did not stay up (see $dir/log)"
  echo "$name $pid" >> "$dir/pids"
}

startDaemon munged "$dir/munge/munged.pid" munged --force --key-file="$key" --socket="$dir/munge/munge.socket" \
  --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" --seed-file="$dir/munge/munged.seed"
startDaemon slurmctld "$dir/slurmctld.pid" slurmctld -f "$SLURM_CONF" -i
startDaemon slurmd "$dir/slurmd.pid" slurmd -f "$SLURM_CONF" -N "$host"

waited=0
until [ "$(sinfo --noheader --nodes="$host" --format=%T 2>/dev/null)" = idle ]; do
  [ "$waited" -ge "$startWait" ] && fail "node $host is not idle after ${startWait}s: $(sinfo --noheader --format='%T %E' 2>&1)"
  sleep 1
  waited=$((waited + 1))
done
started=1
say "node $host idle, $(sinfo --noheader --format=%c) CPUs, in $dir"
echo "export SLURM_CONF=$SLURM_CONF"
