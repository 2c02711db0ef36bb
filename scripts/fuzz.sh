#!/bin/sh
# Runs each fuzz target for SECONDS, starting from its seed corpus in fuzz/corpus/<name>; what it
# finds new goes to BUILD_DIR/corpus/<name>, so the seeds in git stay as they are. Stops at the
# first target that fails, with its log; a crashing input is left as BUILD_DIR/crash-*.
# Usage: scripts/fuzz.sh FUZZ_BUILD_DIR SECONDS
set -eu
build=$1
seconds=$2
for name in settings_file pixel_block reg_file device_config target_config manifest_reader; do
    mkdir -p "$build/corpus/$name"
    log=$build/$name.log
    if ! "$build/fuzz/${name}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/" "$build/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
        cat "$log" >&2
        echo "fuzz.sh: ${name}_fuzzer failed" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "${name}_fuzzer: $runs runs in ${seconds} s ($rate per second), nothing found"
done
