#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz/ and runs
# each for SECONDS (default 60) from its committed corpus. Exits non-zero when a
# target finds a fault (its input is kept under build-fuzz/fuzz-findings/); skips,
# with a message and status 0, where clang or its libFuzzer runtime is missing.
#   scripts/fuzz-smoke.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }

clang=""
for c in clang++ clang++-14; do
    command -v "$c" >/dev/null && { clang=$c; break; }
done
if [ -z "$clang" ]; then
    echo "fuzz-smoke: skipped, no clang++ (Debian: clang, libclang-rt-14-dev)"
    exit 0
fi
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! "$clang" -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
    echo "fuzz-smoke: skipped, $clang has no libFuzzer runtime (Debian: libclang-rt-14-dev)"
    exit 0
fi

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON >/dev/null
targets=()
for dir in tests/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
done
cmake --build "$build" -j"$(nproc)" $(printf -- '--target fuzz_%s ' "${targets[@]}")

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
summary=""
for t in "${targets[@]}"; do
    # New inputs go to a scratch folder: the committed corpus stays as it is.
    work=$build/fuzz-work/$t
    findings=$build/fuzz-findings/$t
    log=$build/fuzz-work/$t.log
    mkdir -p "$work" "$findings"
    echo "== fuzz_$t, $seconds s"
    if "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "tests/fuzz/corpus/$t" >"$log" 2>&1; then
        result="ok"
    else
        result="FAULT FOUND (input in $findings/, log $log)"
        status=1
        grep -E "ERROR:|fuzz invariant broken|runtime error|Test unit written" "$log" || tail -n 30 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    summary+=$(printf '%-16s %10s runs %8s exec/s  %s' "$t" "${runs:-?}" "${rate:-?}" "$result")$'\n'
done
printf '%s' "$summary"
exit $status
