#!/usr/bin/env bash
# Installs what is needed, checks the formatting, builds every preset and runs every test:
#   format:  clang-format over the tree's C++ files (no changes, only a check);
#   release: everything (programs, tests, benchmarks, the sample backup file) and every test
#            (offscreen Qt, dummy audio, loopback only);
#   asan:    only the core and threads test programs, run under AddressSanitizer + UBSan;
#   tsan:    only the threads test programs, run under ThreadSanitizer;
#   fuzz:    only the libFuzzer targets, each run for a bounded time on its corpus in fuzz/corpus
#            (new inputs go to a scratch folder; scripts/fuzz-campaign.sh merges them into the tree).
# ccache is used when present. Each section prints its wall time; the total follows, then the count.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
JOBS="${JOBS:-$(nproc)}"

script_start=$SECONDS
timings=()
section_name=""
section_start=0
end_section() {
  if [ -n "$section_name" ]; then
    local took=$((SECONDS - section_start))
    timings+=("$(printf '%-28s %4dm%02ds' "$section_name" $((took / 60)) $((took % 60)))")
    printf -- '---- %s: %dm%02ds\n' "$section_name" $((took / 60)) $((took % 60))
  fi
  section_name=""
}
section() {
  end_section
  section_name="$*"
  section_start=$SECONDS
  printf '\n==== %s ====\n' "$*"
}

section "install-deps"
bash scripts/install-deps.sh

# The compiler cache, set up from the real home before the tests get their own one below.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir 2>/dev/null || echo "$HOME/.cache/ccache")}"
  export CCACHE_DIR
  config="${XDG_CONFIG_HOME:-$HOME/.config}/ccache/ccache.conf"
  if [ -z "${CCACHE_CONFIGPATH:-}" ] && [ -f "$config" ]; then
    export CCACHE_CONFIGPATH="$config"
  fi
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
configure() { cmake --preset "$1" "${launcher[@]}" >/dev/null; }

# Tests never see the real user's folders.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy

passed=0
failed=0
overall=0
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

section "format check"
if bash scripts/check-format.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  overall=1
fi

section "release build"
configure release
cmake --build --preset release -j "$JOBS"
section "release tests"
run_ctest release || overall=1

section "asan build (core, threads)"
configure asan
cmake --build --preset asan -j "$JOBS" --target dvr_tests_core dvr_tests_threads
section "asan tests"
ASAN_OPTIONS=detect_leaks=1 run_ctest asan || overall=1

section "tsan build (threads)"
configure tsan
cmake --build --preset tsan -j "$JOBS" --target dvr_tests_threads
section "tsan tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest tsan || overall=1

section "fuzz build"
configure fuzz
cmake --build --preset fuzz -j "$JOBS" --target dvr_fuzzers
section "fuzz runs (${FUZZ_SECONDS}s each)"
for fuzzer in build/fuzz/fuzz/*; do
  [ -x "$fuzzer" ] && [ -f "$fuzzer" ] || continue
  name="$(basename "$fuzzer")"
  corpus="$scratch/corpus-$name"
  mkdir -p "$corpus"
  seeds="fuzz/corpus/$name"
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
end_section

section "install, Debian package and desktop files"
if scripts/check-install.sh build/release; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  overall=1
fi
end_section

echo
echo "==== wall time ===="
printf '%s\n' "${timings[@]}"
total=$((SECONDS - script_start))
printf '%-28s %4dm%02ds\n' "total" $((total / 60)) $((total % 60))
echo
echo "all: $passed passed, $failed failed"
exit "$overall"
