#!/usr/bin/env bash
# Installs what is needed, builds every preset and runs every test:
#   release: all unit, integration and end-to-end tests (offscreen Qt, dummy audio, loopback only);
#   asan:    the pure-core tests under AddressSanitizer + UndefinedBehaviorSanitizer;
#   tsan:    the threaded tests under ThreadSanitizer;
#   fuzz:    every libFuzzer target for a bounded time on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
JOBS="${JOBS:-$(nproc)}"
bash scripts/install-deps.sh

# Tests never see the real user's folders.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

passed=0
failed=0
run_ctest() {
  local preset="$1" log="$scratch/ctest-$1.log" status=0
  ctest --preset "$preset" -j "$JOBS" 2>&1 | tee "$log" || status=$?
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)"
  if [ -n "$line" ]; then
    local total bad
    total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
    bad="$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")"
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  elif [ "$status" -ne 0 ]; then
    failed=$((failed + 1))
  fi
  return "$status"
}

section() { printf '\n==== %s ====\n' "$*"; }

overall=0
section "release build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS"
section "release tests"
run_ctest release || overall=1

section "asan build (pure cores)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$JOBS"
section "asan tests"
ASAN_OPTIONS=detect_leaks=1 run_ctest asan || overall=1

section "tsan build (pure cores)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$JOBS"
section "tsan tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest tsan || overall=1

section "fuzz build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$JOBS"
section "fuzz runs (${FUZZ_SECONDS}s each)"
for fuzzer in build/fuzz/fuzz/*; do
  [ -x "$fuzzer" ] && [ -f "$fuzzer" ] || continue
  name="$(basename "$fuzzer")"
  corpus="$scratch/corpus-$name"
  mkdir -p "$corpus"
  seeds="fuzz/corpus/$name"
  [ -d "build/fuzz/fuzz/corpus/$name" ] && seeds="build/fuzz/fuzz/corpus/$name"
  echo "fuzz: $name"
  if "$fuzzer" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >"$scratch/$name.log" 2>&1; then
    passed=$((passed + 1))
    tail -n 2 "$scratch/$name.log"
  else
    failed=$((failed + 1))
    overall=1
    tail -n 40 "$scratch/$name.log"
  fi
done

section "install, Debian package and desktop files"
if scripts/check-install.sh build/release; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  overall=1
fi

echo
echo "all: $passed passed, $failed failed"
exit "$overall"
