/* The image's load configuration. GNU ld has no options for it; it fills no data
   directory from it either (binutils 2.40): tools/pe_directories.py points the
   header at this structure after the link (cmake/Hardening.cmake).

   - DependentLoadFlags: Windows 10 and later look for the DLLs that the image's
     static imports bring in, and what those import in turn, in the system folder
     only, never in the program's folder.
   - SecurityCookie: the stack protector's guard, which the loader makes random when
     it maps the image (stack_guard.c).
   - No safe exception handler table: the images are marked as having no SEH
     handlers at all (--no-seh; GCC's i686 code registers none). */
#include <windows.h>
#include <stddef.h>

#include "common/stack_guard.h"

/* winnt.h of MinGW-w64 10 still calls DependentLoadFlags Reserved1. */
#define DependentLoadFlags Reserved1

#ifndef _WIN64
_Static_assert(sizeof(IMAGE_LOAD_CONFIG_DIRECTORY32) == 72, "the 32-bit layout up to SEHandlerCount");
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, DependentLoadFlags) == 54, "DependentLoadFlags at 0x36");
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SecurityCookie) == 60, "SecurityCookie at 0x3C");
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SEHandlerTable) == 64, "SEHandlerTable at 0x40");
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, SEHandlerCount) == 68, "SEHandlerCount at 0x44");
#endif

/* The loader reads the structure's size from its first field; the header's
   directory entry is given the same size. */
const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    .Size = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY),
    .DependentLoadFlags = LOAD_LIBRARY_SEARCH_SYSTEM32,
    .SecurityCookie = (ULONG_PTR)&__stack_chk_guard,
    .SEHandlerTable = 0,
    .SEHandlerCount = 0,
};
