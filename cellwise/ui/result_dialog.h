// The result dialogs: CResultDialog tells the verdict; CResultDialogFW, on
// machines listed for the firmware update, also offers "Go" (start Fetchrun.exe)
// and "Sleep" (hide for a minute) and cannot be closed in any other way.
#pragma once
#include <windows.h>

#include <string>

#include "cellwise/verdict/verdict.h"
#include "cellwise/ui/resource.h"
#include "common/dialog_base.h"
#include "common/resource_library.h"
#include "common/unique_handle.h"

namespace cw {

// Shows the dialog that fits `outcome` modally; its end code (1 or 2), or -1
// when it could not be created.
int ShowResultDialog(const CheckOutcome& outcome);

// A value line: the language library's FormatMessage template with %1 `first`
// and %2 `second`. A template that asks for more than the two values (see
// IsTwoValueTemplate), one that FormatMessage rejects, or an empty one gives the
// two values joined by a blank.
std::wstring ExpandValueTemplate(const std::wstring& pattern, const std::wstring& first, const std::wstring& second);

}  // namespace cw

namespace Norvane::PC::Ambergate {

// What both dialogs own and do alike: the language library, the screen
// resolution, brushes, fonts and icons, and filling the window at WM_INITDIALOG.
// Everything it holds is released by its destructor, shown or not.
class CResultDialogParts {
public:
    enum class Kind { Plain, Firmware };

    // battery.dll, loaded without a signature check on first need; none after a
    // failure, and tried again at the next need.
    HMODULE Library();
    // A string of the library; empty when there is no library or no such string.
    std::wstring String(UINT id);

    // The steps of WM_INITDIALOG up to the computer line.
    void Fill(HWND dialog, const cw::CheckOutcome& outcome, Kind kind);
    // The part of the message map both dialogs share: WM_CTLCOLORDLG,
    // WM_CTLCOLORSTATIC and WM_CTLCOLORBTN answered with the brush, and EN_LINK
    // from the rich text with the link handler's answer. FALSE for anything else.
    BOOL AnswerShared(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    HBRUSH ControlColour(UINT message, HDC dc, HWND control);
    void ReadResolution(HWND dialog);
    void SetTexts(HWND dialog, Kind kind);
    void SetFonts(HWND dialog, Kind kind);
    void SetWindowIcons(HWND dialog);
    void SetLogo(HWND dialog);
    void ShowValueLine(HWND dialog, int label, int value, bool found, UINT templateId, const std::wstring& first,
                       const std::wstring& second);
    HFONT Font(cw::unique_font& slot, HWND dialog, double factor);

    cw::ResourceLibrary library_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HBRUSH backgroundBrush_ = nullptr;  // a system brush, not ours to delete
    cw::unique_brush captionBrush_;
    cw::unique_font bodyFont_;
    cw::unique_font captionFont_;
    cw::unique_font descriptionFont_;
    cw::unique_icon bigIcon_;
    cw::unique_icon smallIcon_;
    cw::unique_icon logo_;  // a static control never destroys its icon
};

class CResultDialog : public cw::CDialogImpl<CResultDialog> {
public:
    enum { IDD = IDD_RESULT };

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    ~CResultDialog() override = default;

private:
    CResultDialogParts parts_;
};

class CResultDialogFW : public cw::CDialogImpl<CResultDialogFW> {
public:
    enum { IDD = IDD_RESULT_FW };

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    ~CResultDialogFW() override = default;

private:
    void OnInitDialog(const cw::CheckOutcome& outcome);
    void OnGo();
    void OnSleep();
    void OnTimer(UINT_PTR id);

    CResultDialogParts parts_;
    int sleepTicks_ = 0;
    std::wstring platformId_;
    bool fetchrunDebug_ = false;
};

}  // namespace Norvane::PC::Ambergate
