#!/usr/bin/env bash
# Checks what the release tree installs: a staged install (DESTDIR) moved to another prefix whose
# programs answer --help and find their own files with the build tree out of the way, the desktop
# entries, AppStream metainfo, backup file type and manual pages, and the Debian package under
# lintian. Any failure fails the run.
#
# Usage: scripts/check-install.sh [BUILD_DIR]   (default build/release, already built)
# Nothing here connects anywhere: Vistrel starts without --connect and with a loopback host.
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
[ -d "$build" ] || { echo "check-install: no build tree $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"

scratch="$(mktemp -d)"
away=""
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "$away" ] && [ -d "$away" ]; then mv "$away" "$build"; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

failed=0
ok() { echo "check-install: ok: $*"; }
fail() { echo "check-install: FAILED: $*"; failed=1; }
# Runs a command, showing its output only when it fails.
check() {
  local name="$1"; shift
  if "$@" >"$scratch/out.log" 2>&1; then ok "$name"; else fail "$name"; cat "$scratch/out.log"; fi
}
# Waits up to 20 s for a condition (a shell expression).
wait_for() {
  local i
  for ((i = 0; i < 200; i++)); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

programs=(vistrel discoro vistrelctl zavtool dvrsim zavgen vistrel-bridge)

# --- staged install, moved to a prefix of its own ---------------------------------------------
if ! DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "check-install: FAILED: cmake --install"
  exit 1
fi
prefix="$scratch/elsewhere/usr"
mkdir -p "$scratch/elsewhere"
mv "$scratch/stage/usr" "$prefix"

# The build tree is moved aside so that nothing can be found in it.
away="${build}.check-install-away"
mv "$build" "$away"

export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data"
export XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset VISTREL_HOME DISCORO_HOME DVR_BIN_DIR

for p in "${programs[@]}"; do
  if [ -x "$prefix/bin/$p" ]; then
    check "$p --help" "$prefix/bin/$p" --help
  else
    fail "$p is not installed in bin/"
  fi
  if zcat "$prefix/share/man/man1/$p.1.gz" 2>/dev/null | grep -q '^\.TH'; then
    ok "$p manual page"
  else
    fail "$p has no manual page"
  fi
done

# The installed folders as installed: nothing the programs do below may change them, whoever runs
# them (this run may well be root, for whom the folders are writable).
installed_tree() { find "$prefix/share/vistrel" "$prefix/share/discoro" -printf '%p %s %T@\n' | sort; }
installed_before="$(installed_tree)"

# A small backup file written by the installed writer.
sample="$scratch/sample.zav"
check "zavgen writes a backup file" "$prefix/bin/zavgen" "$sample" --channels 16 --family 3 --duration 8
check "zavtool reads it" "$prefix/bin/zavtool" info "$sample"

# Discoro finds its skin in share/discoro: only a created window listens for files from a
# second start. The second start hands its file over and ends.
"$prefix/bin/discoro" >"$scratch/discoro1.log" 2>&1 &
pids+=($!)
if wait_for '[ -S "$XDG_RUNTIME_DIR/Discoro.lock.socket" ]'; then
  ok "installed Discoro finds its files and opens its window"
  check "a second Discoro hands its file to the running one" timeout 30 "$prefix/bin/discoro" "$sample"
else
  fail "installed Discoro did not open its window"
  cat "$scratch/discoro1.log"
fi

# Vistrel finds its files in share/vistrel: the default save folder appears in the per-user folder,
# never in the installed one.
"$prefix/bin/vistrel" --host 127.0.0.1 --no-arp-cleanup >"$scratch/vistrel.log" 2>&1 &
pids+=($!)
if wait_for '[ -d "$XDG_DATA_HOME/Vistrel/Backup" ]'; then
  ok "installed Vistrel finds its files"
else
  fail "installed Vistrel did not find its files"
  cat "$scratch/vistrel.log"
fi
for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
pids=()
if [ "$(installed_tree)" = "$installed_before" ]; then
  ok "the installed folders are left as installed"
else
  fail "the programs wrote below the installed folders"
  diff <(echo "$installed_before") <(installed_tree)
fi

mv "$away" "$build"
away=""

# --- desktop integration ----------------------------------------------------------------------
for f in "$prefix"/share/applications/*.desktop; do
  check "desktop-file-validate $(basename "$f")" desktop-file-validate "$f"
done
for f in "$prefix"/share/metainfo/*.xml; do
  check "appstreamcli validate $(basename "$f")" appstreamcli validate --no-net "$f"
done
mkdir -p "$scratch/mime"
cp -r "$prefix/share/mime/packages" "$scratch/mime/"
check "update-mime-database" update-mime-database "$scratch/mime"
check "backup file type by name" grep -q 'application/x-discoro-backup:\*\.zav' "$scratch/mime/globs2"
check "backup file type by content" grep -qa 'application/x-discoro-backup' "$scratch/mime/magic"
for name in vistrel discoro; do
  for icon in scalable/apps/$name.svg 48x48/apps/$name.png 256x256/apps/$name.png; do
    [ -s "$prefix/share/icons/hicolor/$icon" ] && ok "icon $icon" || fail "icon $icon missing"
  done
done

# --- the Debian package -----------------------------------------------------------------------
rm -rf "$build/package"
if (cd "$build" && cpack -G DEB) >"$scratch/cpack.log" 2>&1; then
  deb="$(ls "$build"/package/*.deb 2>/dev/null | head -n 1)"
  ok "cpack -G DEB: $(basename "$deb")"
  if dpkg-deb -I "$deb" | grep -Eq '^ +[0-9]+ bytes, +[0-9]+ lines +\*? *(pre|post)(inst|rm)'; then
    fail "the package has maintainer scripts"
  else
    ok "the package has no maintainer scripts"
  fi
  check "lintian" lintian --no-cfg --fail-on error "$deb"
else
  fail "cpack -G DEB"
  cat "$scratch/cpack.log"
fi

[ "$failed" -eq 0 ] && echo "check-install: all checks passed" || echo "check-install: some checks FAILED"
exit "$failed"
