#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in their own build folder and runs each for a
# bounded time (FUZZ_SECONDS, default 60, plus the time to replay the corpus kept in the
# build folder). Not part of ctest. Crashes, hangs (-timeout) and
# leaks stop the run with a non-zero status; the reproducer lands in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
VANTOR_FUZZ=1 bash scripts/install-deps.sh
FUZZ_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"
if [ ! -f "$FUZZ_DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTOR_FUZZ=ON -DVANTOR_TESTS=OFF -DVANTOR_BENCH=OFF
fi
targets=(sqltext sqlrepeat)
cmake --build "$FUZZ_DIR" --target "${targets[@]/#/fuzz_}"
for t in "${targets[@]}"; do
  # The repeating target only takes short units; the time goes on building their repetition.
  max_len=4096
  [ "$t" = sqlrepeat ] && max_len=64
  corpus="$FUZZ_DIR/corpus/$t"
  mkdir -p "$corpus"
  echo "fuzz: $t for ${FUZZ_SECONDS}s"
  (cd "$FUZZ_DIR" && "./fuzz/fuzz_$t" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    -print_final_stats=1 "corpus/$t" ../fuzz/corpus/sqltext)
done
