#!/usr/bin/env bash
# The rooms of the product's code and the floors they stand on: a file includes
# the files of its own room, of a room on a lower floor of its own deliverable,
# and of common/, which is below everything. hwlink/hwlink.h, the library's
# published contract, is also open to the other deliverables' rooms. Prints each
# include that breaks this and exits 1; prints nothing and exits 0 when none does.
# (docs/architecture.md draws the floors.)
set -u
cd "$(dirname "$0")/.."

# The deliverable and floor of a file, higher floors further up, in
# $deliverable and $level; an empty deliverable outside the product.
floor() {
  case $1 in
    common/*)             deliverable=common   level=0 ;;
    hwlink/hwlink.h)      deliverable=hwlink   level=1 ;;  # the contract: types, statuses, exports
    hwlink/frame/*)       deliverable=hwlink   level=2 ;;
    hwlink/services/*)    deliverable=hwlink   level=3 ;;
    hwlink/*)             deliverable=hwlink   level=4 ;;  # dllmain.cpp
    cellwise/events.h)    deliverable=cellwise level=1 ;;
    cellwise/identify/*)  deliverable=cellwise level=2 ;;
    cellwise/verdict/*)   deliverable=cellwise level=3 ;;
    cellwise/report/*)    deliverable=cellwise level=4 ;;
    cellwise/ui/*)        deliverable=cellwise level=5 ;;
    cellwise/check/*)     deliverable=cellwise level=6 ;;
    fetchrun/transfer/*)  deliverable=fetchrun level=1 ;;
    fetchrun/app/*)       deliverable=fetchrun level=2 ;;
    *)                    deliverable=""       level=-1 ;;
  esac
}

# Whether `from` may include `to` (both paths from the source root).
allowed() {
  local from=$1 to=$2 fd fn
  floor "$from"; fd=$deliverable fn=$level
  floor "$to"
  [ -n "$deliverable" ] || return 1
  [ "${from%/*}" = "${to%/*}" ] && [ "$deliverable" = "$fd" ] && [ "$level" -eq "$fn" ] && return 0
  [ "$deliverable" = common ] && return 0
  [ "$to" = hwlink/hwlink.h ] && [ "$fd" != common ] && return 0
  [ "$deliverable" = "$fd" ] && [ "$level" -lt "$fn" ]
}

status=0
while IFS= read -r file; do
  while IFS= read -r name; do
    target=$name
    if [[ $name != */* ]]; then
      # A name without a folder: beside the file, or a header the build generates.
      [ -e "${file%/*}/$name" ] || continue
      target=${file%/*}/$name
    fi
    if ! allowed "$file" "$target"; then
      echo "$file includes $name: ${file%/*} may not look at ${target%/*}"
      status=1
    fi
  done < <(grep -oE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$file" | sed -E 's/.*"([^"]+)"/\1/')
done < <(find common cellwise fetchrun hwlink -type f \( -name '*.h' -o -name '*.c' -o -name '*.cpp' -o -name '*.rc' -o -name '*.in' \) | sort)
exit $status
