#!/usr/bin/env bash
# A short run of one fuzz target: every seed, then a few thousand inputs
# made from them.  New inputs go to a scratch folder, never to the seeds.
# The random seed is fixed (TALVENOR_FUZZ_SEED, default 1) so that a run
# gives the same verdict on the same code; long runs by hand explore with
# fresh seeds (docs/fuzzing.md).
#   run_smoke.sh TARGET SEED_DIR SCRATCH_DIR [RUNS]
set -euo pipefail
target=$1 seeds=$2 scratch=$3 runs=${4:-4000}
rm -rf "$scratch"
mkdir -p "$scratch"
dict="$(dirname "$seeds")/../dict/$(basename "$seeds").dict"
args=(-runs="$runs" -seed="${TALVENOR_FUZZ_SEED:-1}" -timeout=10 -max_total_time=60 -print_final_stats=1 -artifact_prefix="$scratch/")
[ -f "$dict" ] && args+=(-dict="$dict")
exec "$target" "${args[@]}" "$scratch" "$seeds"
