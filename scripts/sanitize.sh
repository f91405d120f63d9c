#!/usr/bin/env bash
# Builds the non-GUI test programs with sanitizers and runs them; any report fails the run.
#   scripts/sanitize.sh address,undefined build-asan            all core tests
#   scripts/sanitize.sh thread build-tsan "test_acquisition" 'Queue|Acquisition'
#   CC=clang CXX=clang++ RASTEL_FUZZ_SECONDS=20 scripts/sanitize.sh address,undefined build-fuzz \
#       "test_fuzz_records test_fuzz_image_headers" test_fuzz    libFuzzer, 20 s per target
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers="$1"
dir="$2"
targets="${3:-rastel_core_tests}"
filter="${4:-}"

export RASTEL_DISCOVERY_ADDRESS="${RASTEL_DISCOVERY_ADDRESS:-127.255.255.255}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# ignore_noninstrumented_modules: accesses that uninstrumented libraries (the HTTP library, Qt)
# make through memcpy and the like are not reported, while their locks still count; the
# HTTP library's own lazy initialisation otherwise shows as a race between server threads.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1 suppressions=$PWD/scripts/tsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"

[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DRASTEL_SANITIZE="$sanitizers" >/dev/null
# shellcheck disable=SC2086
cmake --build "$dir" -j "$(nproc)" --target $targets
args=(-L core --output-on-failure --timeout 600 -j "$(nproc)")
[ -n "$filter" ] && args+=(-R "$filter")
# Thread sanitizer needs the address space layout it was built for.
runner=()
if [[ "$sanitizers" == *thread* ]] && command -v setarch >/dev/null; then
    runner=(setarch "$(uname -m)" -R)
fi
cd "$dir" && "${runner[@]}" ctest "${args[@]}"
# What the libFuzzer programs among the tests did: executions per target, for the log.
grep -E '^[0-9]+/[0-9]+ Test: |^Done [0-9]+ runs' Testing/Temporary/LastTest.log | grep -B1 '^Done' || true
