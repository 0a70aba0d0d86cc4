#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite; then the
# same suite once more under AddressSanitizer and UndefinedBehaviorSanitizer, and the tests
# that run threads under ThreadSanitizer. The suite
# replays every fuzz target's committed corpus; FUZZ_SECONDS=N also fuzzes each target for
# N seconds with libFuzzer (clang), which CI leaves to the developers (scripts/fuzz.sh).
# Each phase prints its minutes, so that CI's time stays in view (budget: 15 minutes).
# Any test failure or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
jobs=$(nproc)
phase() { echo "== test.sh: $1 at $((SECONDS / 60)) min $((SECONDS % 60)) s"; }
phase "packages ready"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
phase "built"
ctest --test-dir build --output-on-failure -j"$jobs"
phase "tests passed"

# Sanitizers: without the desktop program. Every report goes to a log file as well, so a
# report from a child process (the command-line runs of the fault tests) fails the run
# even when the test only looked at the child's exit status.
logs=$PWD/build-asan/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"
# -Og with line tables: reports name file and line, and the build takes a third of -O2's time.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-Og -g1" \
      -DTARNWELL_SANITIZE=ON -DTARNWELL_GUI=OFF
cmake --build build-asan -j"$jobs"
phase "sanitizer build built"
status=0
ASAN_OPTIONS="detect_leaks=1:exitcode=86:log_path=$logs/asan" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86:log_path=$logs/ubsan" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" || status=$?
# The logs are judged by what they say, also after failed tests (a report explains them): a
# report fails the run and is printed; a log that holds none (left empty by a run killed
# during its exit-time leak check) is named with its pid and does not fail it.
./scripts/sanitizer-logs.sh "$logs" || status=1
[ "$status" = 0 ] || exit "$status"
phase "sanitizer tests passed"

# ThreadSanitizer on the test programs whose code runs threads (the fused engine's rows, the
# sub-basins side by side, the worker pool, evaluations at once, the calibration's workers),
# without the geodata, MPI and window libraries, which add no threads of their own. A report
# stops the program, and a report in a command-line run fails the test that started it.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DTARNWELL_TSAN=ON \
      -DTARNWELL_GUI=OFF -DTARNWELL_MPI=OFF -DTARNWELL_GEO=OFF -DTARNWELL_SOBOL=OFF
cmake --build build-tsan -j"$jobs" --target tarnwell engine_tests driver_tests calibration_tests calibration_probe
for program in engine_tests driver_tests calibration_tests; do
  (cd build-tsan/tests && TSAN_OPTIONS="halt_on_error=1:exitcode=66" "./$program" --gtest_brief=1)
done
phase "thread sanitizer tests passed"

# Fuzzing, when asked for: each target from its committed seeds; new finds are not kept.
if [ "${FUZZ_SECONDS:-0}" != 0 ]; then
  FUZZ_CORPUS_READONLY=1 FUZZ_JOBS="$jobs" FUZZ_NICE=0 ./scripts/fuzz.sh "$FUZZ_SECONDS"
  phase "fuzz smoke passed"
fi
