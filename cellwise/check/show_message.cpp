#include "show_message.h"

#include "event_log.h"
#include "resource.h"

namespace cw {

std::wstring LoadText(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    // With a zero length, LoadStringW hands out the resource's own characters.
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style) {
    const std::wstring caption = LoadText(GetModuleHandleW(nullptr), IDS_APP_CAPTION);
    std::wstring text = LoadText(module, stringId);
    if (text.empty()) text = FormatText(L"%u", stringId);

    const EventKind kind = (style & MB_ICONERROR) ? EventKind::Error : EventKind::Information;
    EventLog::Instance().Write(kind, static_cast<int>(stringId), L"%s", text.c_str());

    if (settings.silent) return IDOK;
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace cw
