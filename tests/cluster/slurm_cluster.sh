#!/usr/bin/env bash
# A real single-node Slurm cluster on localhost, for CI and tests.
#
#   slurm_cluster.sh start   install slurm-wlm and munge when missing, start
#                            munged, slurmctld and slurmd, wait for the node
#   slurm_cluster.sh stop    cancel what is left in the queue, scontrol
#                            shutdown, stop munged, remove the cluster folder
#   slurm_cluster.sh env     print the export line that the Slurm commands need
#
# Everything the cluster writes (munge key and socket, slurm.conf, state and
# spool folders, pid files, logs) lives in one folder: $QUORVEL_SLURM_DIR, by
# default ${TMPDIR:-/tmp}/quorvel-slurm-<uid>. Nothing under /etc is changed, so
# the Slurm commands find the cluster through SLURM_CONF:
#   eval "$(tests/cluster/slurm_cluster.sh env)"
# The daemons run as root (slurmd must, to start jobs as their users), munged as
# the munge user; when not root, sudo is used. Ports: QUORVEL_SLURM_PORT
# (slurmctld, default 6817) and the next one (slurmd). QUORVEL_SLURM_WAIT bounds
# the wait for the node, in seconds (default 90).
#
# A cluster that cannot start is reported with what failed and the end of the
# daemons' logs, and the script exits non-zero: never a silent pass.
set -uo pipefail

dir=${QUORVEL_SLURM_DIR:-${TMPDIR:-/tmp}/quorvel-slurm-$(id -u)}
ctld_port=${QUORVEL_SLURM_PORT:-6817}
slurmd_port=$((ctld_port + 1))
wait_limit=${QUORVEL_SLURM_WAIT:-90}
partition=quorvel
conf=$dir/slurm.conf
starting=0

say() { echo "slurm_cluster: $*"; }
fail() {
  echo "slurm_cluster: FAILED: $*" >&2
  show_logs >&2
  if [ "$starting" = 1 ]; then
    end_daemons
    echo "slurm_cluster: daemons started so far are ended; files kept in $dir ('stop' removes them)" >&2
  fi
  exit 1
}
show_logs() {
  local log
  for log in "$dir/munge/munged.log" "$dir/log/slurmctld.log" "$dir/log/slurmd.log"; do
    [ -s "$log" ] || continue
    echo "--- last lines of $log"
    tail -n 25 "$log"
  done
}

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || {
    echo "slurm_cluster: FAILED: not root and no sudo: the Slurm daemons must run as root" >&2
    exit 1
  }
  as_root=(sudo --preserve-env=SLURM_CONF)
fi
root() { "${as_root[@]}" "$@"; }
export SLURM_CONF=$conf
export PATH=$PATH:/usr/sbin:/sbin

pid_of() { # munged writes its pid beside its socket, where only munge may write
  local file=$dir/run/$1.pid
  [ "$1" = munged ] && file=$dir/munge/munged.pid
  [ -s "$file" ] && cat "$file"
}
alive() { [ -n "${1:-}" ] && root kill -0 "$1" 2>/dev/null; }

# Debian's packages. Services are kept from starting while they install (a
# munged or slurmctld started by the package would use the system's key and
# configuration, not ours).
install_packages() {
  local missing=()
  for program in /usr/sbin/slurmctld /usr/sbin/slurmd /usr/bin/sbatch /usr/sbin/munged; do
    [ -x "$program" ] || missing+=("$program")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing slurm-wlm and munge (missing: ${missing[*]})"
  local log policy_added=0
  log=$(mktemp)
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    root sh -c 'printf "#!/bin/sh\nexit 101\n" >/usr/sbin/policy-rc.d && chmod 755 /usr/sbin/policy-rc.d'
    policy_added=1
  fi
  local status=0
  { root env DEBIAN_FRONTEND=noninteractive apt-get update -q &&
    root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends slurm-wlm munge; } >"$log" 2>&1 ||
    status=$?
  [ $policy_added -eq 1 ] && root rm -f /usr/sbin/policy-rc.d
  if [ $status -ne 0 ]; then
    tail -n 30 "$log" >&2
    rm -f "$log"
    echo "slurm_cluster: FAILED: apt-get could not install slurm-wlm and munge (status $status)" >&2
    exit 1
  fi
  rm -f "$log"
}

# Ends the daemons of this folder by their recorded pids.
end_daemons() {
  local daemon pid
  for daemon in slurmd slurmctld munged; do
    pid=$(pid_of $daemon)
    alive "$pid" || continue
    root kill "$pid"
    wait_gone "$pid" 10 || root kill -9 "$pid"
  done
}

# A folder left by a cluster that was not stopped (or failed to start): its
# daemons are ended, then the folder goes.
clear_leftovers() {
  [ -e "$dir" ] || return 0
  [ -d "$dir" ] && [ ! -L "$dir" ] || fail "$dir exists and is not a folder of this script"
  end_daemons
  root rm -rf "$dir"
}

wait_gone() { # pid seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    alive "$1" || return 0
    sleep 0.1
  done
  return 1
}

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

write_config() {
  local host cores memory
  host=$(hostname -s)
  cores=$(nproc)
  # MiB, as Slurm counts; a little below the total so that slurmd never finds
  # less memory than announced.
  memory=$(awk '/^MemTotal:/ {printf "%d", $2 / 1024 * 0.95}' /proc/meminfo)
  cat <<EOF
# Single-node test cluster written by tests/cluster/slurm_cluster.sh
ClusterName=quorvel
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool/%n
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
SlurmctldDebug=info
SlurmdDebug=info
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$dir/log/jobs_completed.txt
MpiDefault=none
SwitchType=switch/none
# Cores are handed out one by one, so several jobs and array tasks share the node.
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
ReturnToService=2
# Finished jobs stay visible to scontrol for an hour (there is no accounting
# database, so sacct has nothing to show).
MinJobAge=3600
SlurmctldTimeout=30
SlurmdTimeout=60
InactiveLimit=0
KillWait=5
Waittime=0
NodeName=$host NodeAddr=127.0.0.1 NodeHostname=$host CPUs=$cores RealMemory=$memory State=UNKNOWN
PartitionName=$partition Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

start_munged() {
  id munge >/dev/null 2>&1 || fail "the munge user does not exist (is the munge package installed?)"
  root mkdir "$dir/munge"
  if command -v mungekey >/dev/null || [ -x /usr/sbin/mungekey ]; then
    root mungekey --create --keyfile="$dir/munge/munge.key" >/dev/null 2>&1 ||
      fail "mungekey could not create $dir/munge/munge.key"
  else
    root dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
  fi
  root chmod 400 "$dir/munge/munge.key"
  root chown -R munge: "$dir/munge" # clients reach the socket; only munge writes here
  root runuser -u munge -- /usr/sbin/munged --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.socket" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" --seed-file="$dir/munge/munged.seed" ||
    fail "munged did not start"
  local i
  for ((i = 0; i < 100; i++)); do
    [ -S "$dir/munge/munge.socket" ] && break
    sleep 0.1
  done
  [ -S "$dir/munge/munge.socket" ] || fail "munged did not create its socket $dir/munge/munge.socket within 10 s"
  munge -n --socket="$dir/munge/munge.socket" | unmunge --socket="$dir/munge/munge.socket" >/dev/null 2>&1 ||
    fail "munged started but a credential does not round-trip through $dir/munge/munge.socket"
}

node_state() { sinfo -h -N -p "$partition" -o '%T' 2>/dev/null | head -n 1; }

start() {
  install_packages
  if alive "$(pid_of slurmctld)" && alive "$(pid_of slurmd)" && alive "$(pid_of munged)" && [ -n "$(node_state)" ]; then
    say "already running in $dir (node $(node_state))"
    say "export SLURM_CONF=$conf"
    return 0
  fi
  clear_leftovers
  starting=1
  port_free "$ctld_port" || fail "port $ctld_port (slurmctld) is in use: set QUORVEL_SLURM_PORT to a free one"
  port_free "$slurmd_port" || fail "port $slurmd_port (slurmd) is in use: set QUORVEL_SLURM_PORT to a free one"
  root mkdir -p -m 755 "$dir" || fail "cannot create $dir"
  root mkdir -p "$dir/state" "$dir/spool" "$dir/run" "$dir/log"
  root chmod 755 "$dir/log"
  write_config | root tee "$conf" >/dev/null || fail "cannot write $conf"
  start_munged
  root /usr/sbin/slurmctld -f "$conf" -i || fail "slurmctld did not start"
  root /usr/sbin/slurmd -f "$conf" -N "$(hostname -s)" || fail "slurmd did not start"
  local i state=""
  for ((i = 0; i < wait_limit * 2; i++)); do
    state=$(node_state)
    [ "$state" = idle ] && break
    if [ $i -gt 10 ]; then
      alive "$(pid_of slurmctld)" || fail "slurmctld stopped after starting"
      alive "$(pid_of slurmd)" || fail "slurmd stopped after starting"
    fi
    sleep 0.5
  done
  if [ "$state" != idle ]; then
    sinfo -R 2>&1 | sed 's/^/  /' >&2
    fail "node not idle after ${wait_limit} s (state: ${state:-none})"
  fi
  starting=0
  say "running in $dir: node $(hostname -s), $(nproc) cores, partition $partition"
  say "export SLURM_CONF=$conf"
}

stop() {
  if [ ! -d "$dir" ]; then
    say "no cluster in $dir"
    return 0
  fi
  local status=0 pid daemon jobs
  if alive "$(pid_of slurmctld)"; then
    # Jobs still running would outlive slurmd: cancel them and let them end.
    jobs=$(squeue -h -o '%A' 2>/dev/null | sort -u | tr '\n' ' ')
    if [ -n "${jobs// /}" ]; then
      say "cancelling jobs left in the queue: $jobs"
      # shellcheck disable=SC2086
      root scancel $jobs
      local i
      for ((i = 0; i < 60 && $(squeue -h 2>/dev/null | wc -l) > 0; i++)); do sleep 0.5; done
    fi
    root scontrol shutdown >/dev/null 2>&1 || say "scontrol shutdown failed; ending the daemons by their pids"
  fi
  # slurmctld and slurmd end on the shutdown; munged, and any daemon the
  # shutdown did not reach, are ended by their pids.
  for daemon in slurmd slurmctld munged; do
    pid=$(pid_of $daemon)
    alive "$pid" || continue
    [ $daemon = munged ] || wait_gone "$pid" 20 || say "$daemon (pid $pid) did not end on the shutdown"
    alive "$pid" || continue
    root kill "$pid"
    if ! wait_gone "$pid" 10; then
      say "$daemon (pid $pid) still running: killing it"
      root kill -9 "$pid"
      status=1
    fi
  done
  root rm -rf "$dir"
  say "stopped; $dir removed"
  return $status
}

case ${1:-} in
start) start ;;
stop) stop ;;
env) echo "export SLURM_CONF=$conf" ;;
*)
  echo "usage: $0 start|stop|env" >&2
  exit 2
  ;;
esac
