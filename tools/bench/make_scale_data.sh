#!/usr/bin/env bash
# Builds the large synthetic data set for the benchmarks and checks it.
#
#   tools/bench/make_scale_data.sh [N] [OUT]
#
# N drug packages (default 100000) into OUT (default $BUILD_DIR/scale-data,
# BUILD_DIR default "build").  Prints the time and size of the build and the
# checker's summary; exits non-zero when the build or the check fails.  The
# folder is never committed.
set -euo pipefail
cd "$(dirname "$0")/../.."
N=${1:-100000}
BUILD_DIR=${BUILD_DIR:-build}
OUT=${2:-$BUILD_DIR/scale-data}
cmake --build "$BUILD_DIR" --target demo_builder data_struct_check
rm -rf "$OUT"
start=$(date +%s%N)
"$BUILD_DIR/tools/demo_builder" --scale "$N" demo "$OUT"
end=$(date +%s%N)
ms=$(( (end - start) / 1000000 ))
echo "built $N packages in $((ms / 1000)).$(printf %03d $((ms % 1000))) s, $(du -sh "$OUT" | cut -f1) on disk"
"$BUILD_DIR/tools/data_struct_check" "$OUT" | tail -n 20
