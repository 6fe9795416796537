#!/usr/bin/env bash
# Installs what is missing, builds, starts a private Xvfb and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
export PATH="$HOME/.dotnet/tools:$PATH"

# A private X server for the tests that need real windows, hotkeys or a
# second instance; the others run on the offscreen platform.
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$fdfile")"
echo "test: Xvfb on $DISPLAY"

ctest --test-dir build -j "$(nproc)" --output-on-failure "$@"
