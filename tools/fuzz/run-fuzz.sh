#!/usr/bin/env bash
# Builds the libFuzzer targets of the readers of untrusted bytes with clang
# (AddressSanitizer and UBSan) and runs each for N seconds.
#   tools/fuzz/run-fuzz.sh [seconds per target, default 60] [target...]
# Targets: peicons shelllink zipdirectory agentrequest. Work folder: build-fuzz/ (corpora kept there,
# so later runs go on from what earlier runs found).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(peicons shelllink zipdirectory agentrequest)

out=build-fuzz
mkdir -p "$out"
qt_cflags=$(pkg-config --cflags Qt6Core Qt6Gui)
qt_libs=$(pkg-config --libs Qt6Core Qt6Gui)
san="-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
common="-std=c++17 -O1 -g -fPIC -Isrc -Itests/support $qt_cflags"

if [ ! -x "$out/make_seeds" ] || [ tests/support/iconfixtures.cpp -nt "$out/make_seeds" ]; then
  clang++ $common tools/fuzz/make_seeds.cpp tests/support/readercorpus.cpp tests/support/iconfixtures.cpp \
    $qt_libs -o "$out/make_seeds"
fi
QT_QPA_PLATFORM=offscreen "$out/make_seeds" "$out/seeds"
# Small archives, plain and zip64, as seeds of the zip directory reader.
mkdir -p "$out/seeds/zipdirectory"
python3 - "$out/seeds/zipdirectory" <<'PY'
import sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(d + "/plain.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("a.txt", "hello" * 20)
    z.writestr("sub/b.json", "{}")
with zipfile.ZipFile(d + "/zip64.zip", "w", zipfile.ZIP_STORED, allowZip64=True) as z:
    with z.open("big.bin", "w", force_zip64=True) as f:
        f.write(b"x" * 64)
PY

for t in "${targets[@]}"; do
  case $t in
    peicons) sources=src/platform/peicons.cpp ;;
    shelllink) sources=src/platform/shelllink.cpp ;;
    zipdirectory) sources=src/backup/zipdirectory.cpp ;;
    agentrequest) sources=src/main/agentrequestreader.cpp ;;
    *) echo "run-fuzz: unknown target $t" >&2; exit 2 ;;
  esac
  clang++ $common $san "tools/fuzz/fuzz_$t.cpp" $sources $qt_libs -o "$out/fuzz_$t"
  mkdir -p "$out/corpus-$t"
  echo "run-fuzz: $t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$out/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$out/crash-$t-" \
    "$out/corpus-$t" "$out/seeds/$t" 2>&1 | tail -n 12
done
