#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds, one after the other.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]
#
# Every reader is fuzzed by one program (build-fuzz/fuzz/fuzz_readers), which runs the one
# named by TARNWELL_FUZZ_READER. The corpus of target T lives in tests/fuzz/corpus/T/: the
# committed seed-* files plus what the fuzzer finds (not committed). Crashes and hangs are written to
# build-fuzz/artifacts/T/; the script exits 1 when any target found one.
# Environment: FUZZ_BUILD (build directory, default build-fuzz), FUZZ_JOBS (targets run
# at the same time, default 1), FUZZ_CORPUS_READONLY=1 (keep new finds in a scratch
# directory instead of the corpus, as CI does), FUZZ_NICE (nice level, default 10).
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD:-build-fuzz}
jobs=${FUZZ_JOBS:-1}
nice_level=${FUZZ_NICE:-10}

./scripts/bootstrap.sh --fuzz >/dev/null || exit 1
# -O1 with line tables, as fuzzing builds usually are: fast enough to run, quick to build,
# and a report names file and line.
cmake -S . -B "$build" -DTARNWELL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DTARNWELL_GUI=OFF \
      -DTARNWELL_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" >/dev/null || exit 1
nice -n "$nice_level" cmake --build "$build" -j"$(nproc)" --target fuzz_all >/dev/null || {
  echo "fuzz.sh: build failed" >&2
  exit 1
}

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for d in tests/fuzz/corpus/fuzz_*/; do targets+=("$(basename "$d")"); done
fi

run_one() {
  local t=$1 corpus=tests/fuzz/corpus/$1 art=$build/artifacts/$1 log=$build/logs/$1.log
  mkdir -p "$corpus" "$art" "$build/logs"
  local dirs=("$corpus")
  if [ "${FUZZ_CORPUS_READONLY:-0}" = 1 ]; then
    local scratch
    scratch=$(mktemp -d)
    dirs=("$scratch" "$corpus")
  fi
  # A run of over 10 s on one input is a hang; 2 GiB is more than any reader may need.
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 TARNWELL_FUZZ_READER=$t \
    nice -n "$nice_level" "$build/fuzz/fuzz_readers" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -dict=tests/fuzz/tarnwell.dict -print_final_stats=1 \
      -artifact_prefix="$art/" "${dirs[@]}" >"$log" 2>&1
  local rc=$?
  [ "${FUZZ_CORPUS_READONLY:-0}" = 1 ] && rm -rf "${dirs[0]}"
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  if [ $rc -eq 0 ]; then
    echo "$t: ok, ${runs:-?} runs in ${seconds} s"
  else
    echo "$t: FAILED (exit $rc), see $log and $art/"
    grep -E 'ERROR|runtime error|broken promise|Test unit written' "$log" | head -5
  fi
  return $rc
}
export -f run_one
export build seconds nice_level

printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {}
