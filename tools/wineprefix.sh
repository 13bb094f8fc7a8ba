#!/usr/bin/env bash
# Creates (or refreshes) the Wine prefix of one build tree: a 64-bit prefix whose
# graphics driver is "null", so dialogs exist without a screen, and which trusts
# the test CA when one is given.
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
mkdir -p "$prefix"
if [ ! -f "$prefix/system.reg" ]; then
  "$WINE" wineboot -i </dev/null >"$log" 2>&1
  # Without this restart, starting a driver service in a fresh prefix fails with 1055.
  "$WINESERVER" -k || true
  "$WINESERVER" -w || true
fi
regfile=$prefix/drive_c/cellwise-prefix.reg
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
  if [ -s "$root_crt" ]; then python3 "$here/trust_root.py" "$root_crt"; fi
} >"$regfile"
"$WINE" reg import 'C:\cellwise-prefix.reg' </dev/null >>"$log" 2>&1
"$WINESERVER" -k || true
"$WINESERVER" -w || true
touch "$prefix/.ready"
