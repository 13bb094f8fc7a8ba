#!/usr/bin/env bash
# The main job, on a simulated Norvane notebook: builds Cellwise.exe (x86_64, the
# only bitness this machine can run), signs battery.dll with the test CA that the
# Wine prefix trusts, fits one battery pack that is a target, runs
#   Cellwise.exe -silent -log demo.log
# and prints its exit code and event log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/setup.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Cellwise battery_signed batctl cwbatsim wineprefix

build=$root/build/win64
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
WINE=/usr/lib/wine/wine64
demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo"
cp "$build/ship/Cellwise.exe" "$demo/"
cp "$build/testbin/signed/battery.dll" "$demo/"

"$root/tools/winefixture.sh" start "$WINEPREFIX"
trap '"$root/tools/winefixture.sh" stop "$WINEPREFIX"' EXIT

# One pack: model NRV-BP41A, maker Norvane, serial inside the recalled range.
"$WINE" "$build/testbin/batctl.exe" setup 'name=NRV-BP41A;maker=Norvane;serial=2307Z104512Z' \
  </dev/null >"$demo/batctl.out" 2>&1

cd "$demo"
set +e
"$WINE" Cellwise.exe -silent -log demo.log </dev/null >cellwise.out 2>&1
code=$?
set -e
"$WINE" "$build/testbin/batctl.exe" clear </dev/null >>"$demo/batctl.out" 2>&1 || true

echo "Cellwise.exe -silent -log demo.log"
echo "exit code: $code (0 = a target battery pack was found)"
echo "event log ($demo/demo.log):"
python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("utf-16").replace("\r\n", "\n"))' demo.log
