// Built like the shipped programs (delay-load hooks, stack guard, load
// configuration), it shows how they behave at run time; the unit tests read its
// exit code (tests/unit/image_loader_test.cpp):
//
//   hardening_probe guard          0 when its own stack guard is random and is the
//                                  cookie its load configuration names
//   hardening_probe module <dll>   0 when the loader made the DLL's cookie random
//   hardening_probe smash          overruns a stack buffer
//   hardening_probe planted        calls into planted.dll, loaded on first use
//   hardening_probe no-function    calls a function kernel32.dll does not export
//   hardening_probe hwlink <dll>   a host of hwlink.dll that leaves its DLL search as
//                                  Windows sets it: installs the driver from the
//                                  current folder twice (the second compares file
//                                  versions), removes it, then loads cwhost.dll by
//                                  name; prints the statuses and whether that load
//                                  found cwhost.dll in the program's folder
//
// 1 means the check failed, 2 a usage error. The probe leaves its DLL search as it
// is: the hooks load from the system folder by themselves.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include <cstdio>

#include "common/stack_guard.h"
#include "common/system_library.h"
#include "hwlink/hwlink.h"

extern "C" __declspec(dllimport) int WINAPI PlantedMarker();
extern "C" __declspec(dllimport) int WINAPI CwNoSuchFunction();

namespace {

const IMAGE_LOAD_CONFIG_DIRECTORY* LoadConfigOf(HMODULE module) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    if (entry.VirtualAddress == 0 || entry.Size < offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable)) return nullptr;
    return reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY*>(base + entry.VirtualAddress);
}

bool IsRandomCookie(std::uintptr_t value) { return value != 0 && value != CW_DEFAULT_SECURITY_COOKIE; }

int CheckOwnGuard() {
    const IMAGE_LOAD_CONFIG_DIRECTORY* config = LoadConfigOf(GetModuleHandleW(nullptr));
    if (!config || config->SecurityCookie != reinterpret_cast<ULONG_PTR>(&__stack_chk_guard)) return 1;
    return IsRandomCookie(__stack_chk_guard) ? 0 : 1;
}

int CheckModuleGuard(const wchar_t* path) {
    const HMODULE module = LoadLibraryExW(path, nullptr, 0);
    if (!module) return 1;
    const IMAGE_LOAD_CONFIG_DIRECTORY* config = LoadConfigOf(module);
    const bool random = config && config->SecurityCookie &&
                        IsRandomCookie(*reinterpret_cast<const std::uintptr_t*>(config->SecurityCookie));
    FreeLibrary(module);
    return random ? 0 : 1;
}

// Writes 64 bytes into 16: the guard copy behind the buffer is overwritten.
__attribute__((noinline)) int Overrun(const char* text) {
    char buffer[16];
    volatile char* out = buffer;
    for (std::size_t i = 0; i < 64; ++i) out[i] = text[i % 4];
    return buffer[0];
}

int HostHwlink(const wchar_t* path) {
    const HMODULE hwlink = LoadLibraryW(path);
    if (!hwlink) return 1;
    const auto install = cw::ModuleExport<PFN_KernelDrv_Install>(hwlink, "KernelDrv_Install");
    const auto uninstall = cw::ModuleExport<PFN_KernelDrv_UnInstall>(hwlink, "KernelDrv_UnInstall");
    if (!install || !uninstall) return 1;
    const std::uint32_t first = install();
    const std::uint32_t again = install();
    const std::uint32_t removed = uninstall();
    const bool host = LoadLibraryW(L"cwhost.dll") != nullptr;
    std::printf("install=0x%X again=0x%X uninstall=0x%X host=%d\n", static_cast<unsigned>(first),
                static_cast<unsigned>(again), static_cast<unsigned>(removed), host ? 1 : 0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"guard") == 0) return CheckOwnGuard();
    if (argc == 3 && std::wcscmp(argv[1], L"module") == 0) return CheckModuleGuard(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"smash") == 0) return Overrun("abcd");
    if (argc == 2 && std::wcscmp(argv[1], L"planted") == 0) return PlantedMarker();
    if (argc == 2 && std::wcscmp(argv[1], L"no-function") == 0) return CwNoSuchFunction();
    if (argc == 3 && std::wcscmp(argv[1], L"hwlink") == 0) return HostHwlink(argv[2]);
    return 2;
}
