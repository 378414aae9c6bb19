#!/bin/sh
# Builds one libFuzzer target per reader of outside input with clang, ASan and
# UBSan in build-fuzz/, and runs each over its seed corpus: for FUZZ_SECONDS
# (20 by default, CI's bounded run) or, with FUZZ_RUNS set, for that many
# executions. Leaks count as failures. FUZZ_ONLY=name runs one target.
# Exits non-zero when any target fails to build or a run finds a fault.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-fuzz
seconds=${FUZZ_SECONDS:-20}
mkdir -p "$out"
cxx=${CLANGXX:-clang++}
# Pictures are capped at 1M pixels so each input exercises parsing rather
# than filling a huge blank picture a header declares.
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root -DORNIX_MAX_PIXELS=(1u<<20)"
codec="$root/ornix/*.cpp $root/platform/GlobalMemory.cpp $(pkg-config --libs libturbojpeg libjpeg libtiff-4) -lgif"
wxflags=$(wx-config --cxxflags 2>/dev/null || true)
wxlibs=$(wx-config --libs 2>/dev/null || true)
if [ -n "${FUZZ_RUNS:-}" ]; then limit="-runs=$FUZZ_RUNS"; else limit="-max_total_time=$seconds"; fi
status=0

# name, extra compiler arguments (sources, defines, libraries)
targets() {
  for fmt in BMP GIF PCX TGA JPG TIF; do
    echo "$fmt|-DORNIX_FUZZ_LOADER=Load$fmt $root/fuzz/FuzzLoad.cpp $codec"
  done
  echo "cardtext|$root/fuzz/FuzzCardText.cpp $root/strova/card/Stations.cpp $root/strova/card/RemoteKeymap.cpp $root/platform/Paths.cpp"
  echo "profile|$root/fuzz/FuzzProfile.cpp $root/platform/Profile.cpp $root/platform/Registry.cpp $root/platform/Paths.cpp"
  echo "registry|$root/fuzz/FuzzRegistry.cpp $root/platform/Registry.cpp $root/platform/Paths.cpp"
  echo "exif|$root/fuzz/FuzzExif.cpp $root/common/Orientation.cpp"
  lumora="$root/lumora/ThumbCache.cpp $root/common/ThumbFiles.cpp $root/common/ThumbPng.cpp $root/common/Orientation.cpp $root/lumora/Thumbnail.cpp $root/lumora/ViewLayout.cpp $root/common/DibImage.cpp $root/common/DibScale.cpp $root/common/DibDraw.cpp $root/platform/Paths.cpp $codec $(pkg-config --cflags --libs gdk-pixbuf-2.0 libdeflate) $wxflags $wxlibs"
  echo "thumbnail|$root/fuzz/FuzzThumbnail.cpp $lumora"
  echo "thumbcache|-DFUZZ_THUMB_CACHE $root/fuzz/FuzzThumbnail.cpp $lumora"
  echo "videoprobe|$root/fuzz/FuzzVideoProbe.cpp $root/calvex/Probe.cpp $root/calvex/AvLog.cpp $(pkg-config --libs libavformat libavcodec libavutil libswscale)"
  echo "splash|-DSPLASH_MAX_PIXELS=(1u<<20) $root/fuzz/FuzzSplash.cpp $root/orvane/ui/SplashDlg.cpp $wxflags $wxlibs -Wl,--gc-sections -ffunction-sections"
}

targets | while IFS='|' read -r name args; do
  [ -z "${FUZZ_ONLY:-}" ] || [ "$FUZZ_ONLY" = "$name" ] || continue
  bin=$out/fuzz-$name
  # shellcheck disable=SC2086  # args is a word list on purpose
  if ! $cxx $flags $args -o "$bin" >"$out/build-$name.log" 2>&1; then
    echo "fuzz-$name: build failed, see $out/build-$name.log" >&2
    echo fail >>"$out/status"
    continue
  fi
  work=$out/corpus-$name
  # The committed corpus: hand-made seeds and the inputs long runs found that
  # add coverage; the picture readers also start from the sample pictures.
  seeds=
  [ ! -d "$root/fuzz/corpus/$name" ] || seeds=$root/fuzz/corpus/$name
  case $name in BMP | GIF | PCX | TGA | JPG | TIF) seeds="$seeds $root/fuzz/corpus/images" ;; esac
  mkdir -p "$work"
  # shellcheck disable=SC2086  # seeds is a list of folders
  if ! ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=64 "$bin" $limit -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$out/crash-$name-" -print_final_stats=1 "$work" $seeds >"$out/fuzz-$name.log" 2>&1; then
    echo "fuzz-$name: fault found, see $out/fuzz-$name.log" >&2
    echo fail >>"$out/status"
  else
    echo "fuzz-$name: clean, $(grep -o 'stat::number_of_executed_units: [0-9]*' "$out/fuzz-$name.log" | grep -o '[0-9]*$') runs, $(grep -o 'exec/s: [0-9]*' "$out/fuzz-$name.log" | tail -n 1)"
  fi
done
[ ! -s "$out/status" ] || status=1
rm -f "$out/status"
exit $status
