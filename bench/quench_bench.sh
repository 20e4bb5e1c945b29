#!/bin/sh
# The heater-quench benchmark: the cases of quench_cases.py (and Demo-009's
# quench-energy search) run with the coupled step (default) and with the
# section-by-section scheme (--section-by-section), one after the other in
# the same run.  One row per case and method:
#   steps taken (the schedule's in brackets), halved steps by cause (the
#   convergency file's messages: temperatures not converged within NrItT_M,
#   no temperature solution, relaxation levels used up), inner iterations
#   (rows of the convergency file) per step, CPU seconds, and the last
#   progress line's Ts_max.
#   bench/quench_bench.sh BUILD_DIR [WORK_DIR [BASE_VORN]]
# BUILD_DIR holds vorn; BASE_VORN, another build of the program (an earlier
# version, without --section-by-section), adds a row "base" per case.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
vorn=$(cd "$1" && pwd)/vorn
work=${2:-/tmp/vorn_quench_bench}
base=""
[ $# -ge 3 ] && base=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
mkdir -p "$work"
python3 "$here/quench_cases.py" "$work" "$vorn"
mkdir -p "$work/VORN_data/Demo"
rm -rf "$work/VORN_data/Demo/Demo-009"
cp -r "$here/../examples/VORN_data/Demo/Demo-009" "$work/VORN_data/Demo/"
"$vorn" set "$work/VORN_data/Demo/Demo-009" Opt_PrIter=1 >/dev/null
cd "$work"
echo "| case | method | steps (scheduled) | halved: NrItT_M | halved: no T solution | halved: levels | inner it./step | CPU (s) | Ts_max (K) |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
for spec in "Bench Q12 500" "Bench Q28 100" "Bench Q05 7" "Demo 009 -"; do
    set -- $spec
    for method in coupled section ${base:+base}; do
        opt=""; [ "$method" = section ] && opt="--section-by-section"
        prog=$vorn; [ "$method" = base ] && prog=$base
        dir=VORN_data/$1/$1-$2
        /usr/bin/time -o cpu.txt -f "%U" "$prog" $opt --fresh --create "$1" "$2" >/dev/null 2>&1 || true
        cpu=$(tail -n 1 cpu.txt)
        cat "$dir"/Run*/VORN_convergency.dat | awk -F, -v c="$1-$2" -v meth="$method" -v sched="$3" -v cpu="$cpu" '
            /No temperature convergence/ { nt++ } /No temperature solution/ { ns++ }
            /relaxation levels: time step added/ { nl++ }
            NF >= 12 && $1 !~ /Run/ && $3 + 0 > 0 { rows++; s[$1 "," $2 "," $3] = 1 }
            END { k = 0; for (i in s) k++;
                  printf "| %s | %s | %d (%s) | %d | %d | %d | %.1f | %s |", c, meth, k, sched, nt, ns, nl,
                         (k > 0 ? rows / k : 0), cpu }'
        tmax=$(tail -n 1 "$dir/Run01/Progress.dat" | awk -F, '{ print $10 + 0 }')
        echo " $tmax |"
        # The quench-energy search: its energies (uJ) per run.
        [ -f "$dir/output/VORN_QE_Sum.dat" ] &&
            awk -F, -v meth="$method" 'NF > 12 && $1 + 0 > 0 { e = e " " $12 + 0 }
                END { print "|   " meth " quench energies (uJ):" e " | | | | | | | | |" }' \
                "$dir/output/VORN_QE_Sum.dat"
    done
done
true
