#!/usr/bin/env bash
# Runs the benchmarks and prints the ratios against their baselines.
set -euo pipefail
build=${1:-build}
"$build/bench/talvenor_bench_markers" --benchmark_min_time=0.5 --benchmark_format=console | tee /tmp/talvenor-bench-markers.txt
python3 - /tmp/talvenor-bench-markers.txt <<'PY'
import re, sys
t = {}
for line in open(sys.argv[1]):
    m = re.match(r'(BM_\w+)\s+([\d.]+) (ns|us|ms)', line)
    if m:
        v = float(m.group(2)) * {'ns': 1, 'us': 1e3, 'ms': 1e6}[m.group(3)]
        t[m.group(1)] = v
for a, b in [('BM_FindMarkerWalk', 'BM_MemmemWalk'), ('BM_FindMarkerRare', 'BM_MemmemRare'),
             ('BM_CutBetweenWalk', 'BM_MemmemCutWalk')]:
    if a in t and b in t:
        print(f'{a} / {b} = {t[a] / t[b]:.2f}x')
PY
