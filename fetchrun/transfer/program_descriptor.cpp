#include "fetchrun/transfer/program_descriptor.h"

namespace fetchrun {
namespace {

bool IsSidText(const std::wstring& text) {
    if (text.size() <= 4 || text.compare(0, 4, L"S-1-") != 0) return false;
    for (wchar_t c : text) {
        if (c != L'S' && c != L'-' && (c < L'0' || c > L'9')) return false;
    }
    return text.find(L'S', 1) == std::wstring::npos && text.back() != L'-';
}

}  // namespace

std::wstring ProgramFileDescriptor(const std::wstring& userSid) {
    if (!IsSidText(userSid)) return {};
    // FA all, FR read, FX execute, SD delete; SY system, BA administrators, OW owner rights.
    return L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFXSD;;;" + userSid + L")(A;;FRFX;;;OW)";
}

}  // namespace fetchrun
