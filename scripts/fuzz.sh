#!/usr/bin/env bash
# Runs every fuzz target, one after the other, on its working corpus (kept in
# the build folder and seeded from fuzz/corpus, so the committed seeds stay
# small) and prints how many inputs each one ran.
#
#   scripts/fuzz.sh BUILD_DIR [SECONDS] [TARGET...]
#
# SECONDS per target (default 60).  FUZZ_RUNS=N runs N inputs per target
# instead (SECONDS then only bounds the run).  Inputs that crash, hang or leak
# are kept in BUILD_DIR/fuzz-artifacts/TARGET/; the exit status is 1 then.
# The runs of every campaign on the same working corpus add up in
# BUILD_DIR/fuzz-artifacts/TARGET.total.
set -uo pipefail
build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
src=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$src"/fuzz/*_fuzz.cpp; do t=$(basename "$f" _fuzz.cpp); targets+=("$t"); done
fi

failed=0
report=()
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  [ -x "$bin" ] || { echo "no fuzz target $bin (build with -DTALVENOR_FUZZ=ON)" >&2; exit 2; }
  corpus="$build/fuzz-corpus/$t"
  artifacts="$build/fuzz-artifacts/$t"
  mkdir -p "$corpus" "$artifacts"
  cp -n "$src/fuzz/corpus/$t"/* "$corpus"/ 2>/dev/null || true
  args=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/")
  if [ -n "${FUZZ_RUNS:-}" ]; then args+=(-runs="$FUZZ_RUNS" -max_total_time="$seconds"); else args+=(-max_total_time="$seconds"); fi
  [ -f "$src/fuzz/dict/$t.dict" ] && args+=(-dict="$src/fuzz/dict/$t.dict")
  log="$build/fuzz-artifacts/$t.log"
  start=$(date +%s)
  "$bin" "${args[@]}" "$corpus" >"$log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # Coverage at the end: edges reached ("cov") and features ("ft").
  cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\).*/\1 edges \2 ft/p')
  files=$(find "$corpus" -type f | wc -l)
  total_file="$build/fuzz-artifacts/$t.total"
  total=$(( $(cat "$total_file" 2>/dev/null || echo 0) + ${runs:-0} ))
  echo "$total" >"$total_file"
  if [ $rc -eq 0 ]; then result=clean; else result="FOUND (see $log)"; failed=1; fi
  line=$(printf '%-20s %6ss %11s runs %7s/s %12s in all %6s inputs %18s  %s' "$t" "$took" "${runs:-?}" \
         "$(( ${runs:-0} / (took > 0 ? took : 1) ))" "$total" "$files" "${cov:-?}" "$result")
  echo "$line"
  report+=("$line")
done
echo
printf '%s\n' "${report[@]}"
exit $failed
