#!/usr/bin/env bash
# The whole test suite: set-up, the pure logic built natively under sanitizers
# (its unit suites and a few seconds of each fuzz target), the i686 product build
# with its PE checks, then the test tree under Wine: the unit tests on two sides
# at the same time, the x86_64 test build and an i686 build, and the end-to-end
# scenarios on the shipped i686 files (build/win32/ship), as a 64-bit Windows runs
# them under WoW64; where this machine cannot run 32-bit code, on the x86_64 build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
start=$SECONDS

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --test-dir build/win32 --output-on-failure

cmake --preset win64 >/dev/null
cmake --build --preset win64
if ! reason=$(tools/check32.sh); then
  echo "test: the i686 side is skipped: $reason"
fi
ctest --preset win64 -j2
echo "test: done in $((SECONDS - start)) s"
