// Hash mode: the SHA-256 of a local program file, written as the settings INI that
// publishes it.
#pragma once
#include <windows.h>

#include "fetchrun/app/options.h"

namespace fetchrun {

// Resolves the "/Hash:" and "/Out:" paths and writes the INI; returns the exit code.
DWORD RunHashMode(const FetchrunOptions& options);

// Hashes `fullPath`, creates `outIni` anew with ExeHash and the program URL made
// from `fileName`; returns the exit code.
DWORD MakeHashIni(const wchar_t* fileName, const wchar_t* fullPath, const wchar_t* outIni);

}  // namespace fetchrun
