#!/usr/bin/env bash
# Creates (or refreshes) a Wine test prefix of one build tree: a 64-bit prefix whose
# graphics driver is "null", so dialogs exist without a screen, and which trusts
# the test CA when one is given, and no longer the one it trusted before (kept in
# <prefix>/trusted-root.crt), should the CA have been made anew.
#   wineprefix.sh <prefix> [<root.crt>]
set -euo pipefail
prefix=$1
root_crt=${2:-}
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
here=$(cd "$(dirname "$0")" && pwd)
log=$prefix.log
# A prefix made before 32-bit Wine was installed lacks the 32-bit system files
# (syswow64) and cannot run a 32-bit program: it is made anew.
if [ -f "$prefix/system.reg" ] && [ ! -d "$prefix/drive_c/windows/syswow64" ] && [ -x /usr/lib/wine/wine ]; then
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  rm -rf "$prefix"
fi
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  "$WINE" wineboot -i </dev/null >"$log" 2>&1
  # Without this restart, starting a driver service in a fresh prefix fails with 1055.
  "$WINESERVER" -k || true
  "$WINESERVER" -w || true
fi
# A 64-bit kernel loads every driver, whichever process created its service. Wine
# instead hosts a kernel driver whose service a 32-bit process created (the shipped
# hwlink.dll's KernelDrv_Install) in its 32-bit driver host, which cannot load a
# 64-bit driver: the 64-bit host stands in for it, as the kernel does on Windows.
windows=$prefix/drive_c/windows
if [ -f "$windows/syswow64/winedevice.exe" ] && ! cmp -s "$windows/system32/winedevice.exe" "$windows/syswow64/winedevice.exe"; then
  cp -f "$windows/system32/winedevice.exe" "$windows/syswow64/winedevice.exe"
fi
regfile=$prefix/drive_c/cellwise-prefix.reg
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
  if [ -s "$root_crt" ]; then python3 "$here/trust_root.py" "$root_crt" "$prefix/trusted-root.crt"; fi
} >"$regfile"
"$WINE" reg import 'C:\cellwise-prefix.reg' </dev/null >>"$log" 2>&1
if [ -s "$root_crt" ]; then cp -f "$root_crt" "$prefix/trusted-root.crt"; fi
"$WINESERVER" -k || true
"$WINESERVER" -w || true
touch "$prefix/.ready"
