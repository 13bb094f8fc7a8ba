#!/bin/sh
# Fuzzes the SMBIOS table walk natively under ASan and UBSan (not part of ctest).
# Usage: tests/fuzz/run_smbios_fuzz.sh [seconds]   (default 60)
# libFuzzer with clang when available, otherwise a bounded random-input loop.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out=${TMPDIR:-/tmp}/cellwise-smbios-fuzz
mkdir -p "$out/corpus"
sources="$root/tests/fuzz/smbios_fuzz.cpp $root/cellwise/identify/smbios_table.cpp"
flags="-std=c++17 -g -O1 -Wall -Wextra -I$root -fno-sanitize-recover=all"

probe="$out/probe.cpp"
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe"
if command -v clang++ >/dev/null 2>&1 &&
   clang++ -fsanitize=fuzzer,address "$probe" -o "$out/probe" >/dev/null 2>&1; then
    clang++ $flags -fsanitize=fuzzer,address,undefined $sources -o "$out/smbios_fuzz"
    exec "$out/smbios_fuzz" -max_total_time="$seconds" -max_len=1024 "$out/corpus"
else
    g++ $flags -fsanitize=address,undefined -DCW_RANDOM_MAIN $sources -o "$out/smbios_fuzz"
    exec "$out/smbios_fuzz" $((seconds * 5000))
fi
