#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
export PATH="$HOME/.dotnet/tools:$PATH"
exec ./build/src/main/TarnavelPanel "$@"
