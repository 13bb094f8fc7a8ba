/* The stack protector's guard of the shipped files (stack_guard.c) and the value it
   starts with: the default security cookie, which the loader replaces. */
#pragma once
#include <stdint.h>

#ifdef _WIN64
#define CW_DEFAULT_SECURITY_COOKIE 0x00002B992DDFA232ull
#else
#define CW_DEFAULT_SECURITY_COOKIE 0xBB40E64Eu
#endif

#ifdef __cplusplus
extern "C" {
#endif
extern uintptr_t __stack_chk_guard;
#ifdef __cplusplus
}
#endif
