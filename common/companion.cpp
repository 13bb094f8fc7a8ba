#include "common/companion.h"

#include "common/path_text.h"

namespace cw {

std::wstring OwnPath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(path, n);
}

std::wstring OwnFolder() {
    std::wstring folder = OwnPath();
    if (folder.empty() || !RemoveFileSpec(folder)) return {};
    return folder;
}

bool IsExistingFile(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring CompanionPath(const wchar_t* fileName) {
    const std::wstring folder = OwnFolder();
    if (folder.empty()) return {};
    const std::wstring path = AppendPath(folder, fileName);
    if (path.empty()) return {};
    if (!IsExistingFile(path.c_str())) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return {};
    }
    return path;
}

bool ReadResourceBytes(HMODULE module, const wchar_t* type, unsigned id, const void** data, DWORD* size) {
    *data = nullptr;
    *size = 0;
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return false;
    const DWORD bytes = SizeofResource(module, info);
    if (bytes == 0) return false;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return false;
    const void* locked = LockResource(loaded);
    if (!locked) return false;
    *data = locked;
    *size = bytes;
    return true;
}

}  // namespace cw
