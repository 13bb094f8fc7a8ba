#!/usr/bin/env bash
# Fuzzes every parser of outside bytes natively under AddressSanitizer and UBSan,
# one libFuzzer target after another (tests/fuzz; the test suite gives each a few
# seconds).
#   tools/fuzz.sh [seconds per target, default 60] [executions per target]
# With both given, a target stops at whichever comes first. A finding fails the
# run and leaves its input in build/native/fuzz/<target>/crash-*: fix the parser,
# then keep the input in tests/fuzz/regressions/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
runs=${2:-}
tools/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native
rm -f build/native/fuzz/*/summary.txt
status=0
CW_FUZZ_SECONDS=$seconds CW_FUZZ_RUNS=$runs \
  ctest --preset native -L fuzz -j1 --timeout $((seconds + 600)) || status=$?
cat build/native/fuzz/*/summary.txt 2>/dev/null || true
exit $status
