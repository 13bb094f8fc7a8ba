#include "cellwise/check/show_message.h"

#include "cellwise/report/event_log.h"
#include "cellwise/ui/resource.h"
#include "common/resource_library.h"

namespace cw {
namespace {

MessageBoxCall g_messageBox = nullptr;

}  // namespace

MessageBoxCall UseMessageBox(MessageBoxCall call) {
    const MessageBoxCall previous = g_messageBox;
    g_messageBox = call;
    return previous;
}

int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style) {
    const std::wstring caption = LoadLibraryString(GetModuleHandleW(nullptr), IDS_APP_CAPTION);
    std::wstring text = LoadLibraryString(module, stringId);
    if (text.empty()) text = FormatText(L"%u", stringId);

    const EventKind kind = (style & MB_ICONERROR) ? EventKind::Error : EventKind::Information;
    EventLog::Instance().Write(kind, static_cast<int>(stringId), L"%s", text.c_str());

    if (settings.silent) return IDOK;
    const MessageBoxCall show = g_messageBox ? g_messageBox : &MessageBoxW;
    return show(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace cw
