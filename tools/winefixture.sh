#!/usr/bin/env bash
# start|stop the wineserver of one test prefix. Wine's background processes get
# their output redirected to a log so they never hold ctest's pipe open.
set -u
action=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
log=$WINEPREFIX.fixture.log
case $action in
  start)
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    "$WINESERVER" -p </dev/null >>"$log" 2>&1
    "$WINE" wineboot </dev/null >>"$log" 2>&1
    # The desktop process is otherwise started on demand by the first test that
    # needs it, and then holds that test's output pipe (ctest waits on it) until
    # it ends. Started here, it writes to the log and lives until the stop.
    "$WINE" explorer.exe /desktop </dev/null >>"$log" 2>&1 &
    ;;
  stop)
    "$WINESERVER" -k </dev/null >>"$log" 2>&1
    "$WINESERVER" -w </dev/null >>"$log" 2>&1
    ;;
esac
exit 0
