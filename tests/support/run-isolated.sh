#!/usr/bin/env bash
# Runs one test executable with its own HOME, XDG folders and TMPDIR, removed
# afterwards. The tests run as root: without this they would write autostart
# entries, registry files and temp files into the real system.
set -u
root=$(mktemp -d "${QY_TEST_TMPROOT:-/tmp}/qy-test.XXXXXX") || exit 1
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/state" \
         "$root/runtime" "$root/etc-xdg" "$root/tmp"
chmod 0700 "$root/runtime"
export HOME="$root/home"
export XDG_CONFIG_HOME="$root/config"
export XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache"
export XDG_STATE_HOME="$root/state"
export XDG_RUNTIME_DIR="$root/runtime"
export XDG_CONFIG_DIRS="$root/etc-xdg"
export TMPDIR="$root/tmp"
export QY_TEST_ROOT="$root"
unset KRV_VERBOSE KRV_AGENT_IDLE_SEC KRV_TOKEN_HEARTBEAT_SEC DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM="${QY_TEST_PLATFORM:-offscreen}"
# Fonts: let fontconfig see the project's aliases ("Microsoft YaHei UI" etc.).
if [ -n "${QY_SOURCE_DIR:-}" ] && [ -f "$QY_SOURCE_DIR/src/resources/fonts.conf" ]; then
  export FONTCONFIG_FILE="$QY_SOURCE_DIR/src/resources/fonts.conf"
fi
if [ "$QT_QPA_PLATFORM" = xcb ] && [ -z "${DISPLAY:-}" ]; then
  echo "SKIP: no X server (run the project's test command, which starts Xvfb)"
  exit 77
fi
"$@"
