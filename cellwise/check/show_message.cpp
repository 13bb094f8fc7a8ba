#include "cellwise/check/show_message.h"

#include "cellwise/report/event_log.h"
#include "cellwise/ui/resource.h"
#include "common/call_seam.h"
#include "common/resource_library.h"

namespace cw {
namespace {

CallSeam<MessageBoxCall> g_messageBox(&MessageBoxW);

}  // namespace

MessageBoxCall UseMessageBox(MessageBoxCall call) { return g_messageBox.Use(call); }

int ShowMessage(const RunSettings& settings, HMODULE module, UINT stringId, UINT style) {
    const std::wstring caption = LoadLibraryString(GetModuleHandleW(nullptr), IDS_APP_CAPTION);
    std::wstring text = LoadLibraryString(module, stringId);
    if (text.empty()) text = FormatText(L"%u", stringId);

    const EventKind kind = (style & MB_ICONERROR) ? EventKind::Error : EventKind::Information;
    EventLog::Instance().Write(kind, static_cast<int>(stringId), L"%s", text.c_str());

    if (settings.silent) return IDOK;
    return g_messageBox.Get()(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace cw
