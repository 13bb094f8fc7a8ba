#!/usr/bin/env bash
# The main job, on a simulated Norvane notebook: builds Cellwise.exe (the x86_64
# test build), signs battery.dll with the test CA that the Wine prefix trusts,
# fits one battery pack that is a target, runs
#   Cellwise.exe -silent -log demo.log
# and prints its exit code and event log. Where Xvfb is installed it then runs
# Cellwise.exe without -silent on an Xvfb screen, shows the result dialog there
# for a few seconds, saves a screenshot of it and presses its button.
#
#   tools/demo.sh --fleet [--burst N [--hold S]]
# checks a fleet instead: 32 simulated notebooks, each with its own product name
# and identifying number, run silently in rounds of concurrent runs (one round per
# set of packs the prefix simulates) with one CSV report for all of them, which
# tools/fleet_summary.py then summarises (tests/e2e/fleet.py). With --burst, N
# notebooks with the same pack all start at once; with --hold, while another
# program holds the report for S seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tools/setup.sh

if [ "${1:-}" = "--fleet" ]; then
  shift
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 --target Cellwise battery_signed batctl cwbatsim wineprefix hwcall ecsim wmisim
  build=$root/build/win64
  export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  export WINE64=/usr/lib/wine/wine64 CW_SIDE=x86_64 CW_SHIP_DIR=$build/ship CW_TEST_BIN=$build/testbin
  export CW_SCENARIO_DIR=$build/demo-fleet/scratch
  "$root/tools/winefixture.sh" start "$WINEPREFIX"
  trap '"$root/tools/winefixture.sh" stop "$WINEPREFIX"' EXIT
  cd "$root/tests/e2e"
  PYTHONDONTWRITEBYTECODE=1 python3 fleet.py --folder "$build/demo-fleet/fleet" "$@"
  exit
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target Cellwise battery_signed batctl cwbatsim wineprefix fetchrun_gui

build=$root/build/win64
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
WINE=/usr/lib/wine/wine64
demo=$build/demo
rm -rf "$demo" && mkdir -p "$demo"
cp "$build/ship/Cellwise.exe" "$demo/"
cp "$build/testbin/signed/battery.dll" "$demo/"

xvfb=""
"$root/tools/winefixture.sh" start "$WINEPREFIX"
trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; "$root/tools/winefixture.sh" stop "$WINEPREFIX"' EXIT

# One pack: model NRV-BP41A, maker Norvane, serial inside the recalled range.
"$WINE" "$build/testbin/batctl.exe" setup 'name=NRV-BP41A;maker=Norvane;serial=2307Z104512Z' \
  </dev/null >"$demo/batctl.out" 2>&1

cd "$demo"
set +e
"$WINE" Cellwise.exe -silent -log demo.log </dev/null >cellwise.out 2>&1
code=$?
set -e

echo "Cellwise.exe -silent -log demo.log"
echo "exit code: $code (0 = a target battery pack was found)"
echo "event log ($demo/demo.log):"
python3 -c 'import sys; sys.stdout.write(open(sys.argv[1], "rb").read().decode("utf-16").replace("\r\n", "\n"))' demo.log

# The result dialog as the owner sees it. The GUI driver of the tests starts
# Cellwise.exe in a Wine desktop on the Xvfb screen, waits for the dialog, asks
# for the screenshot (snap.*, answered with snapped.*) and then presses "Close".
show_dialog() {
  command -v Xvfb >/dev/null && command -v import >/dev/null || {
    echo; echo "result dialog: not shown (Xvfb or ImageMagick's import is missing)"; return 0; }
  local gui=$demo/gui shot=$demo/result-dialog.png dos_demo
  dos_demo=$(printf 'Z:%s' "$demo" | tr / '\\')
  mkdir -p "$gui"
  printf '"%s\\Cellwise.exe"\n%s\n' "$dos_demo" "$dos_demo" >"$gui/cmdline.txt"
  printf 'wait result\nactivate\nsnap result-dialog\npress 1\n' >"$gui/script.txt"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/display" </dev/null >"$demo/xvfb.log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
  local display=":$(head -n1 "$demo/display")"
  DISPLAY=$display "$WINE" explorer /desktop=cellwise_demo,1024x768,x11 \
    "$(printf 'Z:%s' "$build/testbin/fetchrun_gui.exe" | tr / '\\')" "$dos_demo\\gui" \
    </dev/null >"$demo/desktop.out" 2>&1 &
  local desktop=$!
  for _ in $(seq 600); do
    if [ -e "$gui/snap.result-dialog" ]; then
      sleep 3  # on the screen for a few seconds
      import -display "$display" -window root "$shot" || true
      touch "$gui/snapped.result-dialog"
      rm -f "$gui/snap.result-dialog"
    fi
    [ -e "$gui/exit.txt" ] && break
    sleep 0.1
  done
  # The desktop ends by itself once idle; one that has not by then is ended here.
  for _ in $(seq 100); do kill -0 "$desktop" 2>/dev/null || break; sleep 0.1; done
  kill "$desktop" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=""
  echo
  echo "Cellwise.exe (result dialog on Xvfb $display, closed with its button)"
  echo "exit code: $(cat "$gui/exit.txt" 2>/dev/null || echo "none: the dialog did not come")"
  [ -s "$shot" ] && echo "screenshot: $shot"
  return 0
}
show_dialog
"$WINE" "$build/testbin/batctl.exe" clear </dev/null >>"$demo/batctl.out" 2>&1 || true
