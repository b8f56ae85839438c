#!/usr/bin/env bash
# Builds the Debian package from the optimised build:
# build/release/vantrel_<version>_<architecture>.deb, for `apt install`.
#   scripts/package.sh [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release "$@"
rm -f build/release/vantrel_*.deb
(cd build/release && cpack -G DEB >/dev/null)
echo "Built $(ls build/release/vantrel_*.deb)"
