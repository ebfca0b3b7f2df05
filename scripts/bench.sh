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
if [ -x "$build/bench/talvenor_bench_windows" ]; then
  "$build/bench/talvenor_bench_windows" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    2> >(grep -v 'does not support' >&2) | tee "$out/windows.txt"
  # The whole program, from exec to its first painted catalogue window (with
  # a stored site, offscreen), medians of five starts.
  home=$(mktemp -d)
  "$build/src/cli/talvenor-cli" --home "$home" demo-hosts 1 > /dev/null
  mkdir -p "$home/多玩"
  printf '所有分类\r\n' | iconv -f UTF-8 -t GBK > "$home/多玩/fenlei.ml"
  printf 'http://duowan.localhost:1/include/finish/all_1.html\r\n' > "$home/多玩/fenlei.ml.list"
  printf '多玩\r\n所有分类.ml\r\n所有分类.ml.list\r\n1\r\n' | iconv -f UTF-8 -t GBK > "$home/set/default.0"
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    QT_QPA_PLATFORM=offscreen TALVENOR_EXIT_AFTER_PAINT=1 "$build/src/app/talvenor" --home "$home" 2>/dev/null
    echo $(( ($(date +%s%N) - start) / 1000 ))
  done | sort -n | sed -n 3p | awk '{printf "BM_ProgramStartToPaint %.1f ms\n", $1 / 1000}' | tee -a "$out/windows.txt"
  rm -rf "$home"
fi
if [ -x "$build/bench/talvenor_bench_reader" ]; then
  QTWEBENGINE_DISABLE_SANDBOX=1 "$build/bench/talvenor_bench_reader" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true 2> >(grep -v 'does not support' >&2) | tee "$out/reader.txt"
fi
# The page-turn transitions at 1280 x 800: a frame must take well under 20 ms.
if [ -x "$build/bench/talvenor_bench_pic_show" ]; then
  QT_QPA_PLATFORM=offscreen "$build/bench/talvenor_bench_pic_show" 2> >(grep -v 'does not support' >&2) \
    | tee "$out/pic_show.txt"
fi
python3 - "$out/markers.txt" "$out/downloads.txt" "$out/booklists.txt" "$out/windows.txt" "$out/reader.txt" <<'PY'
import re, sys
t = {}
for path in sys.argv[1:]:
    try:
        lines = open(path).readlines()
    except OSError:
        continue
    for line in lines:
        m = re.match(r'(BM_\w+?(?:/\d+)?)(?:/iterations:\d+)?(?:/real_time|/manual_time)?(_median)?\s+([\d.]+) (ns|us|ms)', line)
        if m and (m.group(2) or 'real_time' not in line):
            t[m.group(1)] = float(m.group(3)) * {'ns': 1, 'us': 1e3, 'ms': 1e6}[m.group(4)]
print()
for a, b, target in [('BM_FindMarkerWalk', 'BM_MemmemWalk', 1.5), ('BM_FindMarkerRare', 'BM_MemmemRare', 1.5),
                     ('BM_CutBetweenWalk', 'BM_MemmemCutWalk', None),
                     ('BM_BookListUpdate', 'BM_BookListPlainDownload', 1.25),
                     ('BM_ChapterList10000', 'BM_ChapterListPlainDownload', 1.3),
                     ('BM_ExportBook1000', 'BM_ExportPlainDownload', 1.25),
                     ('BM_BookListUpdate_2msLatency', 'BM_BookListPlainDownload_2msLatency', 1.25),
                     ('BM_ChapterList10000_2msLatency', 'BM_ChapterListPlainDownload_2msLatency', 1.1),
                     ('BM_ExportBook1000_2msLatency', 'BM_ExportPlainDownload_2msLatency', 1.25),
                     ('BM_BookListIncremental50kOn50k', 'BM_BookListFresh100k', 1.2)]:
    if a in t and b in t:
        goal = f'  (target {target}x)' if target else ''
        print(f'{a} / {b} = {t[a] / t[b]:.2f}x{goal}')
for name, limit in [('BM_ShowCategory100k', 100), ('BM_Filter100k', 20), ('BM_StartToPaintedWindow', 300),
                    ('BM_ProgramStartToPaint', 300), ('BM_ChapterClickToPaint/200', 100),
                    ('BM_ChapterClickToPaint/10000', 100), ('BM_ChapterList10000Shown', 100)]:
    if name in t:
        print(f'{name} = {t[name] / 1e6:.1f} ms = {t[name] / 1e6 / limit:.2f}x of its {limit} ms budget')
PY
