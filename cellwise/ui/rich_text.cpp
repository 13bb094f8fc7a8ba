#include "cellwise/ui/rich_text.h"

#include <shellapi.h>

#include <cstring>
#include <new>
#include <vector>

#include "cellwise/ui/ole_callback.h"
#include "common/companion.h"
#include "common/unique_handle.h"
#include "common/web_link.h"

namespace cw {

DWORD CALLBACK StreamInRtf(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* given) {
    auto* cursor = reinterpret_cast<RtfStreamCursor*>(cookie);
    const DWORD wanted = requested > 0 ? static_cast<DWORD>(requested) : 0;
    const DWORD count = wanted < cursor->left ? wanted : cursor->left;
    if (count) std::memcpy(buffer, cursor->next, count);
    cursor->next += count;
    cursor->left -= count;
    *given = static_cast<LONG>(count);
    return 0;
}

void LoadRichText(HWND control, HMODULE library, bool found) {
    if (!library) return;
    const void* data = nullptr;
    DWORD size = 0;
    if (!ReadResourceBytes(library, kRtfResourceType, found ? kRtfFound : kRtfNotFound, &data, &size)) return;

    SendMessageW(control, EM_SETTARGETDEVICE, 0, 0);  // wrap at the control's edge
    // The control takes its own reference; ours ends with this call.
    const unique_com<IRichEditOleCallback> callback(new (std::nothrow) Norvane::PC::Ambergate::CMyRichEditOleCallback);
    if (callback) SendMessageW(control, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(callback.get()));

    RtfStreamCursor cursor = {static_cast<const BYTE*>(data), size};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&cursor);
    stream.dwError = 0;
    stream.pfnCallback = StreamInRtf;
    SendMessageW(control, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));

    const LRESULT mask = SendMessageW(control, EM_GETEVENTMASK, 0, 0);
    SendMessageW(control, EM_SETEVENTMASK, 0, mask | ENM_LINK);
}

void OpenWithShell(HWND owner, const wchar_t* target) {
    ShellExecuteW(owner, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT OnLinkNotify(HWND owner, const ENLINK& link, LinkOpener open) {
    if (link.msg != WM_LBUTTONUP) return 0;
    const LONG start = link.chrg.cpMin;
    const LONG end = link.chrg.cpMax;
    // A reversed, negative or open-ended range (-1 means "to the end") names no
    // link text.
    if (start < 0 || end <= start) return 1;
    std::vector<wchar_t> text(static_cast<std::size_t>(end - start) + 1, L'\0');
    TEXTRANGEW range = {{start, end}, text.data()};
    if (SendMessageW(link.nmhdr.hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range)) > 0 &&
        IsWebLink(text.data())) {
        open(owner, text.data());
    }
    return 1;
}

}  // namespace cw
