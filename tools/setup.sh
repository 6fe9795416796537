#!/usr/bin/env bash
# Installs what the build, the panel and the tests need and is missing.
# Fast when everything is already there: it only asks dpkg.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config git python3
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6 libgl-dev
  # platform layer
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-xfixes0-dev libxcb-shm0-dev
  libxcb-keysyms1-dev libxkbcommon-dev libxss-dev libxi-dev libxcb-xtest0-dev
  libfontconfig-dev libssl-dev libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libarchive-tools
  # screen recorder: shared-memory capture and the pointer image; ffmpeg's
  # ffprobe reads the recordings back in the tests
  libxext-dev libxfixes-dev ffmpeg
  # fonts: a CJK face for the Chinese interface, a monospace face
  fontconfig fonts-noto-cjk fonts-dejavu-core
  # Qt's own dialogs and buttons in the interface language
  qt6-translations-l10n
  # tests: X server, window tools, reference readers of icon and link files
  xvfb xauth xdotool x11-utils icoutils liblnk-utils unzip
  # tests: a window manager (EWMH states) and a tray host
  openbox trayer
  # tests: the installed desktop entry is checked by the reference validator;
  # the Debian package is built with its library dependencies
  desktop-file-utils dpkg-dev file
  clang libclang-rt-14-dev
  ca-certificates
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# PowerShell 7 runs the generated backup and restore scripts.
export PATH="$HOME/.dotnet/tools:$PATH"
if ! command -v pwsh >/dev/null 2>&1; then
  if command -v dotnet >/dev/null 2>&1; then
    echo "setup: installing PowerShell 7.6.9 as a .NET global tool"
    DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 \
      dotnet tool install --global PowerShell --version 7.6.9 >/dev/null
  else
    echo "setup: warning: no .NET SDK found, PowerShell 7 (pwsh) not installed" >&2
  fi
fi
