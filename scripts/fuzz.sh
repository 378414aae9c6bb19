#!/bin/sh
# Builds one libFuzzer target per image reader with clang, ASan and UBSan in
# build-fuzz/, and runs each for a bounded time over its seed corpus.
# Exits non-zero when any run finds a crash.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
seconds=${FUZZ_SECONDS:-20}
mkdir -p "$out"
cxx=${CLANGXX:-clang++}
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"
libs="$(pkg-config --libs libturbojpeg libtiff-4) -lgif"
status=0
for fmt in BMP GIF PCX TGA JPG TIF; do
  bin=$out/fuzz-$fmt
  $cxx $flags -DORNIX_FUZZ_LOADER=Load$fmt "$root"/fuzz/FuzzLoad.cpp "$root"/ornix/*.cpp "$root"/platform/GlobalMemory.cpp $libs -o "$bin"
  work=$out/corpus-$fmt
  mkdir -p "$work"
  if ! "$bin" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -artifact_prefix="$out/crash-$fmt-" \
       "$work" "$root/fuzz/corpus" >"$out/fuzz-$fmt.log" 2>&1; then
    echo "fuzz-$fmt: crash, see $out/fuzz-$fmt.log" >&2
    status=1
  else
    echo "fuzz-$fmt: clean"
  fi
done
exit $status
