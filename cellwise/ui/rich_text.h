// The explanatory rich text of the result dialogs: an RTF resource of the
// language library streamed into the read-only rich edit control, whose links
// open with the shell.
#pragma once
#include <windows.h>
#include <richedit.h>

namespace cw {

inline constexpr wchar_t kRtfResourceType[] = L"RTF";
inline constexpr unsigned kRtfFound = 103;
inline constexpr unsigned kRtfNotFound = 104;

// The stream-in position in a resource: next unread byte and bytes left.
struct RtfStreamCursor {
    const BYTE* next;
    DWORD left;
};

// EDITSTREAMCALLBACK over an RtfStreamCursor: hands out at most `requested`
// bytes, 0 once the resource is used up; never reports an error.
DWORD CALLBACK StreamInRtf(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* given);

// Fills `control` with RTF 103 (found) or 104 of `library`, with an OLE callback
// and link notifications. Without the library or the resource (or an empty one)
// the control stays empty and gets no callback.
void LoadRichText(HWND control, HMODULE library, bool found);

// Opens a link's text; the shell's verb "open" unless a test passes its own.
using LinkOpener = void (*)(HWND owner, const wchar_t* target);
void OpenWithShell(HWND owner, const wchar_t* target);

// EN_LINK from the rich text: a release of the left button opens the text of the
// link's range (when it has any and it is a web link, common/web_link.h) and
// answers 1; every other mouse message answers 0 and is left to the control.
LRESULT OnLinkNotify(HWND owner, const ENLINK& link, LinkOpener open = OpenWithShell);

}  // namespace cw
