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

for c in A20ms A2ms A200us A1us B500ms B100ms B10ms B1ms B1us C2ms; do
    for mode in implicit explicit; do
        rm -f VORN_data/Bench/Bench-$c/Run01/* VORN_data/Bench/Bench-$c/output/*
        printf '%-7s %-8s ' "$c" "$mode"
        timeout "$limit" "$build/vorn_netbench" Bench "${c#}" run $mode || echo "(stopped or timed out)"
        per_step "$c"
        grep -h "halved\|GMRES" VORN_data/Bench/Bench-$c/output/VORN_messages.dat | head -2
    done
done
