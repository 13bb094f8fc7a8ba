#!/bin/sh
# Runs one fuzz target: every input in regressions/<name>/ once, then fuzzing from
# corpus/<name>/ for CW_FUZZ_SECONDS seconds (default 5), or until CW_FUZZ_RUNS
# executions when that is set and comes first. Inputs are kept to 1 KB: enough for
# every structure the parsers know, and long runs stay fast. New inputs collect in <work>/corpus;
# a finding fails the run and leaves its input in <work>/crash-* (keep it in
# regressions/<name>/ once the parser is fixed).
#   run_target.sh <fuzzer> <name> <tests/fuzz folder> <work folder>
set -eu
fuzzer=$1 name=$2 source=$3 work=$4
seconds=${CW_FUZZ_SECONDS:-5}
mkdir -p "$work/corpus"

regressions="$source/regressions/$name"
if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    if ! "$fuzzer" "$regressions"/* >"$work/regressions.log" 2>&1; then
        tail -n 60 "$work/regressions.log"
        exit 1
    fi
fi

set -- -max_total_time="$seconds" -max_len=1024 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/"
[ -n "${CW_FUZZ_RUNS:-}" ] && set -- "$@" -runs="$CW_FUZZ_RUNS"
if ! "$fuzzer" "$@" "$work/corpus" "$source/corpus/$name" >"$work/fuzz.log" 2>&1; then
    tail -n 60 "$work/fuzz.log"
    exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log")
echo "fuzz $name: $runs executions, no finding" | tee "$work/summary.txt"
