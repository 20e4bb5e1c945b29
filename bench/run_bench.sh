#!/bin/sh
# Runs the network-solver benchmark: spectral radius of the explicit scheme,
# then every case with the implicit and the explicit solution.
#   bench/run_bench.sh BUILD_DIR WORK_DIR [TIMEOUT_S]
# BUILD_DIR holds vorn_netbench (a Release build); cases go to WORK_DIR.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
work=$2
limit=${3:-300}
mkdir -p "$work"
python3 "$here/make_cases.py" "$work"
cd "$work" || exit 1

echo "== spectral radius of the explicit iteration (resistances fixed)"
"$build/vorn_netbench" Bench A2ms spectral 0.02 0.002 0.0002 1e-6
"$build/vorn_netbench" Bench B10ms spectral 1 0.5 0.1 0.01 0.001 1e-6

# Inner iterations per converged step: rows of the convergency file per step.
per_step() {
    awk -F, 'NR > 1 { n++; s[$3] = 1 } END { k = 0; for (i in s) k++;
             if (k) printf "inner iterations %d over %d steps: %.2f per step\n", n, k, n / k }' \
        "VORN_data/Bench/Bench-$1/Run01/VORN_convergency.dat"
}

for c in A20ms A2ms A200us A1us B500ms B100ms B10ms B1ms B1us C2ms C1us C1s; do
    for mode in implicit explicit; do
        rm -f VORN_data/Bench/Bench-$c/Run01/* VORN_data/Bench/Bench-$c/output/*
        printf '%-7s %-8s ' "$c" "$mode"
        timeout "$limit" "$build/vorn_netbench" Bench "$c" run $mode || echo "(stopped or timed out)"
        per_step "$c"
        grep -h "halved\|GMRES" VORN_data/Bench/Bench-$c/output/VORN_messages.dat | head -2
        cp "VORN_data/Bench/Bench-$c/Run01/Progress.dat" "progress_${c}_$mode.dat" 2>/dev/null
    done
done

echo "== implicit against explicit where both run (Progress.dat columns)"
for c in A20ms B500ms B100ms; do
    echo "$c"; python3 "$here/compare_progress.py" "progress_${c}_implicit.dat" "progress_${c}_explicit.dat"
done

echo "== coupling time constant of the 28-strand cable"
rm -f VORN_data/Bench/Bench-Btau/Run01/*
"$build/vorn_netbench" Bench Btau run implicit
python3 "$here/tau.py" VORN_data/Bench/Bench-Btau/Run01/Progress.dat 0.115 28 0.0151 0.0019 15e-6
