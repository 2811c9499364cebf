#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the project.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  libopenjp2-7-dev libopenjp2-tools libturbojpeg0-dev libjpeg62-turbo-dev
  libsdl2-dev libssl-dev libmicrohttpd-dev libcrypt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation2
  ffmpeg poppler-utils xvfb xauth chromium systemd
  help2man desktop-file-utils appstream lintian shared-mime-info file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
