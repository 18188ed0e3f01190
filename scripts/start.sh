#!/usr/bin/env bash
# Builds and starts the utility on the real serial ports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
exec build/app/plovex "$@"
