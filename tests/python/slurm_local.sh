#!/bin/bash
# A single-node Slurm on this machine for the tests: slurm_local.sh start DIR
# writes DIR/slurm.conf, starts munged, slurmctld and slurmd and waits until
# the node is idle; slurm_local.sh stop DIR stops them again.  Export
# SLURM_CONF=DIR/slurm.conf for sbatch.
set -u
cmd=$1
dir=$2
conf=$dir/slurm.conf
case "$cmd" in
start)
  mkdir -p "$dir/state" "$dir/spool" "$dir/munge" "$dir/log"
  chmod 700 "$dir/munge"
  dd if=/dev/urandom of="$dir/munge/munge.key" bs=1 count=1024 status=none
  chmod 400 "$dir/munge/munge.key"
  munged --force --key-file="$dir/munge/munge.key" --socket="$dir/munge/socket" \
    --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/seed" || { echo "munged did not start"; exit 1; }
  port=$((20000 + RANDOM % 20000))
  host=$(hostname -s)
  cpus=$(nproc)
  cat > "$conf" <<CONF
ClusterName=vorntest
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF=$conf
  slurmctld -f "$conf" || { echo "slurmctld did not start"; exit 1; }
  slurmd -f "$conf" || { echo "slurmd did not start"; exit 1; }
  for _ in $(seq 60); do
    state=$(sinfo -h -o %t 2>/dev/null)
    case "$state" in idle*|mix*) exit 0 ;; esac
    sleep 1
  done
  echo "the node did not become idle (state: ${state:-none}); see $dir/log"
  exit 1
  ;;
stop)
  export SLURM_CONF=$conf
  for f in "$dir/slurmd.pid" "$dir/slurmctld.pid" "$dir/munge/munged.pid"; do
    [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null
  done
  exit 0
  ;;
esac
