#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted by the repository's .clang-format; lists the files
# that are not and fails. `scripts/check-format.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=(--dry-run --Werror)
if [ "${1:-}" = "--fix" ]; then
  mode=(-i)
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sort)
fi
existing=()
for f in "${files[@]}"; do
  [ -f "$f" ] && existing+=("$f")
done
if [ ${#existing[@]} -eq 0 ]; then
  echo "check-format: no C++ files"
  exit 0
fi
if printf '%s\0' "${existing[@]}" | xargs -0 -n 50 clang-format "${mode[@]}" 2>"${TMPDIR:-/tmp}/check-format.$$"; then
  rm -f "${TMPDIR:-/tmp}/check-format.$$"
  echo "check-format: ${#existing[@]} files formatted"
  exit 0
fi
bad="$(grep -oE '^[^:]+\.(cpp|h):' "${TMPDIR:-/tmp}/check-format.$$" | sort -u | tr -d ':' || true)"
rm -f "${TMPDIR:-/tmp}/check-format.$$"
echo "check-format: these files differ from clang-format's layout (scripts/check-format.sh --fix):"
printf '  %s\n' $bad
exit 1
