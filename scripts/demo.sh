#!/usr/bin/env bash
# Installs what is needed, builds, and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
exec bash scripts/run-demo.sh build/release/bin
