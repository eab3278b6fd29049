#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for SECONDS each, one after the other, on one
# core. Not a test: a crash is written to <build>/fuzz-out/<target>/ and reported at the end;
# copy it into fuzz/regressions/<target>/ once it is fixed.
#
#   bench/fuzz.sh SECONDS [TARGET...]     targets: json_lines records spans dp srl entity_count
#
# Builds in build-fuzz (clang 14, libFuzzer, ASan, UBSan) unless NLPEVAL_FUZZ_BUILD names
# another directory configured with -DNLPEVAL_FUZZ=ON.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${NLPEVAL_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:?usage: bench/fuzz.sh SECONDS [TARGET...]}"
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(json_lines records spans dp srl entity_count)
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNLPEVAL_FUZZ=ON -DNLPEVAL_BUILD_TESTS=OFF \
    -DNLPEVAL_BUILD_BENCH=OFF
fi
cmake --build "$build" -j2 --target "${targets[@]/#/nlpeval_fuzz_}"

status=0
for target in "${targets[@]}"; do
  out="$build/fuzz-out/$target"
  work="$out/corpus"  # grows while fuzzing; the committed seeds stay as they are
  mkdir -p "$work"
  started=$(date +%s)
  set +e
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz/nlpeval_fuzz_$target" "$work" "$root/fuzz/corpus/$target" \
    "$root/fuzz/regressions/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2560 -max_len=16384 -print_final_stats=1 -artifact_prefix="$out/" \
    >"$out/fuzz.log" 2>&1
  result=$?
  set -e
  ran=$(($(date +%s) - started))
  if [ $result -eq 0 ]; then
    echo "$target: clean for ${ran}s"
  else
    echo "$target: FAILED after ${ran}s (exit $result), see $out/fuzz.log"
    status=1
  fi
  echo "$(date -u +%FT%TZ) $target ran=${ran}s exit=$result" >>"$build/fuzz-out/history.log"
done
exit $status
