#!/usr/bin/env bash
# Configures and builds one build tree.
#   scripts/build.sh [release|asan|tsan|fuzz] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
targets=()
shift || true
jobs=$(nproc)

case "$kind" in
  release) dir=build/release; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)    dir=build/asan; args=(-DCMAKE_BUILD_TYPE=Debug "-DVANTREL_SANITIZE=address;undefined"
                                 -DVANTREL_BUILD_SHELL=ON -DVANTREL_BUILD_BENCH=OFF) ;;
  tsan)    dir=build/tsan; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_SANITIZE=thread
                                 -DVANTREL_BUILD_SHELL=ON -DVANTREL_BUILD_BENCH=OFF) ;;
  fuzz)    dir=build/fuzz; targets=(--target fuzzers); args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
                                 -DVANTREL_BUILD_FUZZ=ON -DVANTREL_BUILD_SHELL=OFF
                                 -DVANTREL_BUILD_BENCH=OFF -DVANTREL_BUILD_FIRMWARE=OFF) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$jobs" "${targets[@]}"
