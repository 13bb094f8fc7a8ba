#include "common/path_text.h"

namespace cw {

bool RemoveFileSpec(std::wstring& path) {
    std::size_t at = 0;
    // A UNC path's leading backslashes are not separators.
    if (at < path.size() && path[at] == L'\\') ++at;
    if (at < path.size() && path[at] == L'\\') ++at;
    std::size_t cut = at;
    for (; at < path.size(); ++at) {
        if (path[at] == L'\\') {
            cut = at;
        } else if (path[at] == L':') {
            // A drive: its root backslash stays, and the character after the colon
            // is not looked at again.
            cut = at + 1;
            if (cut < path.size() && path[cut] == L'\\') ++cut;
            ++at;
        }
    }
    if (cut >= path.size()) return false;
    path.erase(cut);
    return true;
}

std::wstring AppendPath(const std::wstring& folder, const std::wstring& name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
    if (path.size() >= kPathLimit) return {};
    return path;
}

}  // namespace cw
