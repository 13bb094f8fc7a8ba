/* The stack protector's guard and failure calls for the shipped files, in place of
   libssp's. That one sets its guard from a C runtime constructor through CryptoAPI
   (a cryptographic provider DLL loaded at every start), and hwlink.dll has no C
   runtime start-up to run it at all. This guard starts as the value that Windows and
   Wine replace with a random one when they map the image, before any of its code
   runs: the image's load configuration names it as the security cookie
   (load_config.c). This file itself is built without the protector. */
#include <windows.h>
#include <stdint.h>

#include "common/stack_guard.h"

uintptr_t __stack_chk_guard = CW_DEFAULT_SECURITY_COOKIE;

/* Windows' own code for a detected overrun; no verdict or status of ours uses it. */
#define CW_STATUS_STACK_BUFFER_OVERRUN 0xC0000409u

/* Nothing more runs in this process: no handler, no destructor, no dialog. */
static void __attribute__((noreturn)) EndOverrunProcess(void) {
    TerminateProcess(GetCurrentProcess(), CW_STATUS_STACK_BUFFER_OVERRUN);
    ExitProcess(CW_STATUS_STACK_BUFFER_OVERRUN); /* not reached */
}

/* A function's guard copy was overwritten: its stack frame is corrupt. */
void __attribute__((noreturn)) __stack_chk_fail(void) { EndOverrunProcess(); }

/* A _FORTIFY_SOURCE check found a copy longer than its destination. */
void __cdecl __attribute__((noreturn)) __chk_fail(void) { EndOverrunProcess(); }
