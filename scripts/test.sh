#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the full Release build, the fuzz targets over their corpus, then the library tests under
# AddressSanitizer + UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each step's time, so that a slow run shows where its time went.
started=$SECONDS
took() { echo "== $1 took $((SECONDS - started)) s"; started=$SECONDS; }
scripts/install-deps.sh
took "installing"
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_DISABLE_SANDBOX=1
scripts/build.sh
took "the Release build"
(cd build && ctest --output-on-failure -j"$(nproc)")
took "the tests"

# Every input the fuzz targets ever failed on is replayed, then each fuzzes a fixed run.
scripts/fuzz-replay.sh
took "fuzzing"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLFEN_LIBS_ONLY=ON -DQUILLFEN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$(nproc)")
took "the library tests under the sanitizers"

# The program builds without GoogleTest and Google Benchmark.
cmake -S . -B build-notests -DQUILLFEN_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >/dev/null
cmake --build build-notests --target quillfen-cli -j"$(nproc)" >/dev/null
echo "build without test libraries: configured, quillfen-cli built"
took "the build without test libraries"

# Every C++ file as .clang-format lays it out.
scripts/check-format.sh
took "the format check"

# The libraries, the Windows shell module and quillfen-cli built for Windows, tested under Wine.
scripts/test-windows.sh
took "the Windows build and tests"
