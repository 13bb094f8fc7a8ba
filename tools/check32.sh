#!/usr/bin/env bash
# Whether this machine can run the shipped 32-bit programs under Wine, as WoW64
# runs them on 64-bit Windows. Prints nothing and exits 0 when it can; otherwise
# prints the reason on one line and exits 1.
#   check32.sh          the kernel runs 32-bit code and wine32 is installed
#   check32.sh kernel   only the kernel (setup asks this before installing wine32)
set -u
what=${1:-all}

# The kernel is asked the one way that cannot be wrong: it is given a 96-byte
# i386 program that only exits with code 42. Kernel configuration files, sysctls
# and boot options each tell part of the story (IA32 emulation built in, turned
# off at boot, ...); running 32-bit code tells all of it.
probe=$(mktemp "${TMPDIR:-/tmp}/check32.XXXXXX")
trap 'rm -f "$probe"' EXIT
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
"$probe" </dev/null >/dev/null 2>&1
rc=$?
if [ "$rc" -ne 42 ]; then
  if [ "$(uname -m)" != x86_64 ]; then
    echo "this is not an x86_64 machine ($(uname -m)), so it cannot run 32-bit x86 code"
  elif [ ! -e /proc/sys/abi/vsyscall32 ]; then
    echo "the kernel cannot run 32-bit code (built without IA32 emulation)"
  else
    echo "the kernel cannot run 32-bit code (IA32 emulation is turned off, e.g. ia32_emulation=0 at boot)"
  fi
  exit 1
fi
[ "$what" = kernel ] && exit 0

if [ ! -x /usr/lib/wine/wine ] || ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "wine32 (i386) is not installed: run tools/setup.sh"
  exit 1
fi
exit 0
