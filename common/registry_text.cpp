#include "common/registry_text.h"

#include <vector>

namespace cw {

unique_hkey OpenKeyForReading(HKEY root, const wchar_t* subKey, REGSAM view) {
    unique_hkey key;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

std::wstring ReadRegistryText(HKEY key, const wchar_t* name, DWORD maxBytes) {
    // One character more than the value may fill, so the text always ends.
    std::vector<wchar_t> buffer(maxBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = maxBytes;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return {};
    }
    return std::wstring(buffer.data());
}

}  // namespace cw
