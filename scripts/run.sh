#!/usr/bin/env bash
# Sets up, builds and starts the emulator. Arguments go to the program
# (for example: scripts/run.sh --rom ~/calc/TI85Rom.bin).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release >/dev/null
exec build/release/src/shell/vantrel "$@"
