// DLLs from the system folder only. A program's own folder may be one that others
// can write to (a Downloads folder, a share): a DLL planted there must never run.
#pragma once
#include <windows.h>

namespace cw {

// For a program's entry, before anything else loads a DLL: every later load that
// names no search of its own (LoadLibraryW by name, a delay-loaded import, what a
// system DLL loads for itself) looks in the system folder only. A library must not
// call it: the search order belongs to its host.
inline bool RestrictDllSearchToSystem() { return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE; }

// A DLL from the system folder (System32; SysWOW64 for a 32-bit process on 64-bit
// Windows), never from the program's folder, the current one or PATH; its own
// imports are found there too. The process's search order stays as it is, so a
// library may call it. Null on failure, with the thread's last error set.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// An export of a loaded module as the function type the caller declares for it.
template <typename Function>
Function ModuleExport(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace cw
