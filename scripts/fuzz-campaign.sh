#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 600) on its corpus in fuzz/corpus/NAME, two targets at a
# time (--jobs N for N), merges the inputs that reached new code back into fuzz/corpus/NAME, and prints one line per
# target: seconds fuzzed, inputs run, inputs per second, corpus size afterwards and findings (crashes,
# leaks, time-outs, out-of-memory), whose inputs are kept in build/fuzz/findings/NAME. A finding does
# not end a target's turn: it is kept and the target goes on from its corpus for the time that is left
# (at most ten findings per target, so an input that fails at once cannot spin).
#   usage: scripts/fuzz-campaign.sh [--jobs N] [SECONDS [TARGET...]]   (no TARGET: every target)
# Builds the fuzz preset's targets first (clang; ccache when present). Commit the grown corpus; fix a
# finding with a regression test and put its minimised input into the corpus.
set -euo pipefail
# The whole script is read before it runs (one braced block), so that a checkout or an edit of this file
# during a campaign of hours cannot change what the running campaign does next.
{
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 [--jobs N] [SECONDS [TARGET...]]" >&2
  exit 2
}
parallel=2
case "${1:-}" in
  -h | --help)
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  --jobs)
    [ $# -ge 2 ] || usage
    parallel="$2"
    shift 2
    ;;
esac
seconds="${1:-600}"
[ $# -eq 0 ] || shift
wanted=("$@")
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ] || ! [[ "$parallel" =~ ^[1-9][0-9]*$ ]]; then
  usage
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
if [ ${#wanted[@]} -eq 0 ]; then
  cmake --build --preset fuzz --target dvr_fuzzers -j "$parallel" >/dev/null
else
  cmake --build --preset fuzz --target "${wanted[@]}" -j "$parallel" >/dev/null
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# One target: a run into a scratch folder beside the corpus, then a merge of what it found.
campaign() {
  local fuzzer="$1" name corpus findings fresh log
  name="$(basename "$fuzzer")"
  corpus="fuzz/corpus/$name"
  findings="build/fuzz/findings/$name"
  fresh="$scratch/new-$name"
  log="$scratch/$name.log"
  mkdir -p "$corpus" "$findings" "$fresh"
  local status=0 started now left runs=0 part=0 part_runs
  started="$(date +%s)"
  touch "$scratch/$name.started"
  while :; do
    now="$(date +%s)"
    left=$((seconds - (now - started)))
    [ "$left" -ge 1 ] || break
    part=$((part + 1))
    status=0
    "$fuzzer" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$findings/" "$fresh" "$corpus" >"$log.$part" 2>&1 || status=$?
    cat "$log.$part" >>"$log"
    part_runs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log.$part" | grep -oE '[0-9]+$' | tail -n 1 || true)"
    runs=$((runs + ${part_runs:-0}))
    [ "$status" -ne 0 ] || break
    # The input that failed is in the findings folder; the next part goes on with what was learnt.
    [ "$part" -lt 10 ] || break
  done
  local elapsed rate found size
  elapsed=$(($(date +%s) - started))
  rate=$((runs / (elapsed > 0 ? elapsed : 1)))
  if [ -n "$(ls -A "$fresh")" ]; then
    "$fuzzer" -merge=1 -timeout=10 -rss_limit_mb=2048 "$corpus" "$fresh" >"$scratch/$name.merge.log" 2>&1 ||
      echo "fuzz-campaign: merging the new inputs of $name failed (see $scratch/$name.merge.log)" >&2
  fi
  found="$(find "$findings" -maxdepth 1 -type f -newer "$scratch/$name.started" \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)"
  size="$(find "$corpus" -maxdepth 1 -type f | wc -l)"
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then
    found="exit $status"
  fi
  [ "$status" -eq 0 ] && [ "$found" = "0" ] || cp "$log" "$findings/last-run.log"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$elapsed" "$runs" "$rate" "$size" "$found" >"$scratch/$name.result"
}

fuzzers=()
if [ ${#wanted[@]} -eq 0 ]; then
  for fuzzer in build/fuzz/fuzz/*; do
    [ -x "$fuzzer" ] && [ -f "$fuzzer" ] && fuzzers+=("$fuzzer")
  done
else
  for name in "${wanted[@]}"; do
    if ! [ -x "build/fuzz/fuzz/$name" ]; then
      echo "fuzz-campaign: no fuzz target $name in build/fuzz/fuzz" >&2
      exit 2
    fi
    fuzzers+=("build/fuzz/fuzz/$name")
  done
fi
if [ ${#fuzzers[@]} -eq 0 ]; then
  echo "fuzz-campaign: no fuzz targets in build/fuzz/fuzz" >&2
  exit 1
fi
echo "fuzz-campaign: ${#fuzzers[@]} targets, ${seconds}s each, $parallel at a time"
running=0
for fuzzer in "${fuzzers[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  campaign "$fuzzer" &
  running=$((running + 1))
done
wait || true

echo
printf '%-24s %8s %12s %10s %12s %10s\n' "target" "seconds" "inputs run" "inputs/s" "corpus size" "findings"
bad=0
for fuzzer in "${fuzzers[@]}"; do
  name="$(basename "$fuzzer")"
  if [ -f "$scratch/$name.result" ]; then
    IFS=$'\t' read -r n elapsed runs rate size found <"$scratch/$name.result"
    printf '%-24s %8s %12s %10s %12s %10s\n' "$n" "$elapsed" "$runs" "$rate" "$size" "$found"
    [ "$found" = "0" ] || bad=1
  else
    printf '%-24s %8s %12s %10s %12s %10s\n' "$name" "?" "?" "?" "?" "no result"
    bad=1
  fi
done
if [ "$bad" -ne 0 ]; then
  echo
  echo "fuzz-campaign: findings are in build/fuzz/findings/NAME"
fi
exit "$bad"
}
