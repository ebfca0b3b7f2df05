#!/usr/bin/env bash
# Runs the benchmarks and prints each ratio against its baseline, measured in
# the same run.
set -euo pipefail
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$build/bench/talvenor_bench_markers" --benchmark_min_time=0.5 | tee "$out/markers.txt"
"$build/bench/talvenor_bench_downloads" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  | tee "$out/downloads.txt"
"$build/bench/talvenor_bench_booklists" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  | tee "$out/booklists.txt"
python3 - "$out/markers.txt" "$out/downloads.txt" "$out/booklists.txt" <<'PY'
import re, sys
t = {}
for path in sys.argv[1:]:
    for line in open(path):
        m = re.match(r'(BM_\w+?)(?:/iterations:\d+)?(?:/real_time)?(_median)?\s+([\d.]+) (ns|us|ms)', line)
        if m and (m.group(2) or 'real_time' not in line):
            t[m.group(1)] = float(m.group(3)) * {'ns': 1, 'us': 1e3, 'ms': 1e6}[m.group(4)]
print()
for a, b, target in [('BM_FindMarkerWalk', 'BM_MemmemWalk', 1.5), ('BM_FindMarkerRare', 'BM_MemmemRare', 1.5),
                     ('BM_CutBetweenWalk', 'BM_MemmemCutWalk', None),
                     ('BM_BookListUpdate', 'BM_BookListPlainDownload', 1.25),
                     ('BM_ChapterList10000', 'BM_ChapterListPlainDownload', 1.25),
                     ('BM_ExportBook1000', 'BM_ExportPlainDownload', 1.25),
                     ('BM_BookListUpdate_2msLatency', 'BM_BookListPlainDownload_2msLatency', 1.25),
                     ('BM_ChapterList10000_2msLatency', 'BM_ChapterListPlainDownload_2msLatency', 1.25),
                     ('BM_ExportBook1000_2msLatency', 'BM_ExportPlainDownload_2msLatency', 1.25),
                     ('BM_BookListIncremental50kOn50k', 'BM_BookListFresh100k', 1.2)]:
    if a in t and b in t:
        goal = f'  (target {target}x)' if target else ''
        print(f'{a} / {b} = {t[a] / t[b]:.2f}x{goal}')
PY
