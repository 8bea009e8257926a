#!/usr/bin/env bash
# Runs a command with Wine ready: the prefix (WINEPREFIX, created on first
# use, bounded), a private virtual X display, Wine's own debug chatter off.
# Wine programs inside the command find the display and prefix through the
# environment.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/cmm-wine-$(id -u)}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  timeout 300 xvfb-run -a wineboot -i >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
fi
# No window manager runs on the virtual display: Wine must not manage our
# windows itself, or hiding and destroying each one waits for a window
# manager's answer (a second or two every time).
if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  timeout 120 xvfb-run -a wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  timeout 60 wineserver -w || true
fi
# One wineserver for the whole run, so the programs share a desktop. Its
# services (services.exe, winedevice, rpcss...) start with the first Wine
# program and outlive it: they are started here with stdio on /dev/null, or
# they would inherit the pipe of the first test and a caller reading that
# pipe to its end (ctest) would wait for them forever.
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p 30
  timeout 120 wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  "$@"; rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc' wine-run "$@"
