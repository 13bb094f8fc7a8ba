#include "cellwise/ui/result_dialog.h"

#include <commctrl.h>
#include <objbase.h>

#include "cellwise/report/product_identity.h"
#include "cellwise/ui/dialog_style.h"
#include "cellwise/ui/rich_text.h"
#include "cellwise/ui/start_fetchrun.h"
#include "cellwise/ui/value_template.h"
#include "common/com_apartment.h"
#include "common/foreground.h"
#include "common/no_close_box.h"
#include "common/resource_library.h"
#include "common/system_library.h"
#include "common/wide_format.h"

namespace cw {
namespace {

constexpr wchar_t kRichEditLibrary[] = L"Msftedit.dll";
// FormatMessage knows inserts %1 to %99.
constexpr std::size_t kMaxInserts = 99;

// Registers the "RichEdit50W" class for the rest of the process (never freed).
void LoadRichEditLibrary() { LoadSystemLibrary(kRichEditLibrary); }

template <class Dialog>
int RunDialog(const CheckOutcome& outcome) {
    Dialog dialog;
    return static_cast<int>(dialog.DoModal(GetModuleHandleW(nullptr), nullptr, reinterpret_cast<LPARAM>(&outcome)));
}

}  // namespace

int ShowResultDialog(const CheckOutcome& outcome) {
    // COM for the computer line's WMI query and the rich text's objects, for the
    // time of the dialog only.
    const ComApartment com;
    InitCommonControls();
    LoadRichEditLibrary();
    if (!outcome.platformId.empty()) return RunDialog<Norvane::PC::Ambergate::CResultDialogFW>(outcome);
    return RunDialog<Norvane::PC::Ambergate::CResultDialog>(outcome);
}

std::wstring ExpandValueTemplate(const std::wstring& pattern, const std::wstring& first, const std::wstring& second) {
    if (!IsTwoValueTemplate(pattern)) return first + L" " + second;
    // The check lets only %1 and %2 through; the other slots still read as empty
    // should FormatMessage ever see an insert the check did not.
    DWORD_PTR inserts[kMaxInserts];
    for (DWORD_PTR& insert : inserts) insert = reinterpret_cast<DWORD_PTR>(L"");
    inserts[0] = reinterpret_cast<DWORD_PTR>(first.c_str());
    inserts[1] = reinterpret_cast<DWORD_PTR>(second.c_str());
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       pattern.c_str(), 0, 0, reinterpret_cast<LPWSTR>(&text), 0, reinterpret_cast<va_list*>(inserts));
    const unique_local owner(text);
    if (length == 0 || !text) return first + L" " + second;
    return std::wstring(text, length);
}

}  // namespace cw

namespace Norvane::PC::Ambergate {
namespace {

// String ids of the language library.
constexpr UINT kCaptionBandText = 105;
constexpr UINT kCloseButtonText = 106;
constexpr UINT kBatteryTemplate = 107;
constexpr UINT kComputerTemplate = 108;
constexpr UINT kWindowCaption = 109;
constexpr UINT kBatteryLabel = 110;
constexpr UINT kComputerLabel = 111;
constexpr UINT kPlaceholder = 112;
constexpr UINT kDescription = 121;
constexpr UINT kGoButtonText = 122;
constexpr UINT kSleepButtonText = 123;
constexpr UINT kNotStartedText = 125;

// Where the library's texts go, in the order they are set; control 0 is the
// window caption, id 0 "not in this dialog".
struct TextSlot {
    int control;
    UINT plain;
    UINT firmware;
};
constexpr TextSlot kTexts[] = {
    {0, kWindowCaption, kWindowCaption},
    {IDC_STATIC_CAPTION, kCaptionBandText, kCaptionBandText},
    {IDC_BATTERY_LABEL, kBatteryLabel, kBatteryLabel},
    {IDC_PC_LABEL, kComputerLabel, kComputerLabel},
    {IDC_STATIC_DESC, 0, kDescription},
    {IDOK, kCloseButtonText, kGoButtonText},
    {IDC_SLEEP, 0, kSleepButtonText},
};

// The controls that take the body font ("Sleep" keeps the dialog font).
constexpr int kBodyFontControls[] = {IDC_BATTERY_LABEL, IDC_BATTERY_VALUE, IDC_PC_LABEL, IDC_PC_VALUE, IDOK};

constexpr UINT_PTR kSleepTimer = 1;
constexpr UINT kSleepTickMs = 1000;
constexpr int kSleepTicks = 60;

// End codes of the dialogs.
constexpr INT_PTR kClosedByButton = 1;
constexpr INT_PTR kClosedOtherwise = 2;

void SendFont(HWND dialog, int control, HFONT font) {
    if (font) SendDlgItemMessageW(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HICON LoadOwnIcon(int id, int width, int height) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

// The focus goes to button 1 once the dialog runs (WM_INITDIALOG then answers FALSE).
void FocusButtonOne(HWND dialog) {
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDOK)), TRUE);
}

bool IsClick(WPARAM wParam, int id) { return HIWORD(wParam) == 0 && LOWORD(wParam) == id; }

}  // namespace

HMODULE CResultDialogParts::Library() {
    if (!library_) library_ = cw::LoadResourceLibrary(false, true);
    return library_.get();
}

std::wstring CResultDialogParts::String(UINT id) {
    const HMODULE library = Library();
    return library ? cw::LoadLibraryString(library, id) : std::wstring();
}

void CResultDialogParts::Fill(HWND dialog, const cw::CheckOutcome& outcome, Kind kind) {
    ReadResolution(dialog);
    SetTexts(dialog, kind);
    SetFonts(dialog, kind);
    SetWindowIcons(dialog);
    SetLogo(dialog);
    cw::LoadRichText(GetDlgItem(dialog, IDC_RICHTEXT), Library(), outcome.found);
    ShowValueLine(dialog, IDC_BATTERY_LABEL, IDC_BATTERY_VALUE, outcome.found, kBatteryTemplate, outcome.batteryName,
                  outcome.batterySerial);
    if (!outcome.found) {
        ShowValueLine(dialog, IDC_PC_LABEL, IDC_PC_VALUE, false, kComputerTemplate, {}, {});
    } else if (Library()) {
        const cw::ProductIdentity product = cw::ReadProductIdentity();
        ShowValueLine(dialog, IDC_PC_LABEL, IDC_PC_VALUE, true, kComputerTemplate, product.name,
                      product.identifyingNumber);
    }
}

void CResultDialogParts::ReadResolution(HWND dialog) {
    const cw::window_dc dc(dialog);
    if (!dc) return;
    dpiX_ = GetDeviceCaps(dc.get(), LOGPIXELSX);
    dpiY_ = GetDeviceCaps(dc.get(), LOGPIXELSY);
}

void CResultDialogParts::SetTexts(HWND dialog, Kind kind) {
    if (!Library()) return;
    for (const TextSlot& slot : kTexts) {
        const UINT id = kind == Kind::Firmware ? slot.firmware : slot.plain;
        if (id == 0) continue;
        // A string the library lacks leaves the template's text.
        const std::wstring text = String(id);
        if (text.empty()) continue;
        if (slot.control == 0) {
            SetWindowTextW(dialog, text.c_str());
        } else {
            SetDlgItemTextW(dialog, slot.control, text.c_str());
        }
    }
}

void CResultDialogParts::SetFonts(HWND dialog, Kind kind) {
    SendFont(dialog, IDC_STATIC_CAPTION, Font(captionFont_, dialog, cw::kCaptionFontFactor));
    for (int control : kBodyFontControls) SendFont(dialog, control, Font(bodyFont_, dialog, cw::kBodyFontFactor));
    if (kind == Kind::Firmware) {
        SendFont(dialog, IDC_STATIC_DESC, Font(descriptionFont_, dialog, cw::kDescriptionFontFactor));
    }
}

HFONT CResultDialogParts::Font(cw::unique_font& slot, HWND dialog, double factor) {
    if (!slot) slot.reset(cw::CreateDialogFont(dialog, factor));
    return slot.get();
}

void CResultDialogParts::SetWindowIcons(HWND dialog) {
    const int big = GetSystemMetrics(SM_CXICON);
    bigIcon_.reset(LoadOwnIcon(IDI_APP_PACK, big, big));
    if (bigIcon_) SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    const int small = GetSystemMetrics(SM_CXSMICON);
    smallIcon_.reset(LoadOwnIcon(IDI_APP_PACK, small, small));
    if (smallIcon_) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

void CResultDialogParts::SetLogo(HWND dialog) {
    const SIZE size = cw::LogoSize(dpiX_, dpiY_);
    logo_.reset(LoadOwnIcon(IDI_MAKER_LOGO, size.cx, size.cy));
    if (!logo_) return;
    const HWND control = GetDlgItem(dialog, IDC_LOGO);
    SetWindowPos(control, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const HICON previous =
        reinterpret_cast<HICON>(SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(logo_.get()), 0));
    if (previous && previous != logo_.get()) DestroyIcon(previous);
}

void CResultDialogParts::ShowValueLine(HWND dialog, int label, int value, bool found, UINT templateId,
                                       const std::wstring& first, const std::wstring& second) {
    if (!found) {
        ShowWindow(GetDlgItem(dialog, label), SW_HIDE);
        ShowWindow(GetDlgItem(dialog, value), SW_HIDE);
        return;
    }
    if (!Library()) return;
    const std::wstring pattern = String(templateId);
    const std::wstring placeholder = String(kPlaceholder);
    const std::wstring text = cw::ExpandValueTemplate(pattern, first.empty() ? placeholder : first,
                                                      second.empty() ? placeholder : second);
    SetDlgItemTextW(dialog, value, text.c_str());
}

HBRUSH CResultDialogParts::ControlColour(UINT message, HDC dc, HWND control) {
    switch (cw::ChooseBrush(cw::IsHighContrastOn(), message, GetDlgCtrlID(control))) {
        case cw::BrushRole::None:
            return nullptr;
        case cw::BrushRole::Caption:
            SetBkMode(dc, TRANSPARENT);
            if (!captionBrush_) captionBrush_.reset(CreateSolidBrush(RGB(220, 220, 220)));
            return captionBrush_.get();
        case cw::BrushRole::Background:
            break;
    }
    if (!backgroundBrush_) backgroundBrush_ = GetSysColorBrush(COLOR_WINDOW);
    return backgroundBrush_;
}

BOOL CResultDialogParts::AnswerShared(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            result = reinterpret_cast<LRESULT>(
                ControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom != IDC_RICHTEXT || header->code != EN_LINK) return FALSE;
            result = cw::OnLinkNotify(dialog, *reinterpret_cast<const ENLINK*>(lParam));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

BOOL CResultDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            parts_.Fill(window_, *reinterpret_cast<const cw::CheckOutcome*>(lParam), CResultDialogParts::Kind::Plain);
            FocusButtonOne(window_);
            result = FALSE;
            return TRUE;
        case WM_CLOSE:
            EndDialog(kClosedOtherwise);
            return TRUE;
        case WM_COMMAND:
            if (IsClick(wParam, IDOK)) {
                EndDialog(kClosedByButton);
                return TRUE;
            }
            if (IsClick(wParam, IDCANCEL)) {
                EndDialog(kClosedOtherwise);
                return TRUE;
            }
            return FALSE;
        default:  // colours and links
            return parts_.AnswerShared(window_, message, wParam, lParam, result);
    }
}

BOOL CResultDialogFW::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(*reinterpret_cast<const cw::CheckOutcome*>(lParam));
            result = FALSE;
            return TRUE;
        case WM_CLOSE:
            return TRUE;  // only a started Fetchrun.exe ends this dialog
        case WM_TIMER:
            OnTimer(wParam);
            return TRUE;
        case WM_COMMAND:
            if (IsClick(wParam, IDOK)) {
                OnGo();
                return TRUE;
            }
            if (IsClick(wParam, IDCANCEL)) return TRUE;  // Esc does nothing here
            if (IsClick(wParam, IDC_SLEEP)) {
                OnSleep();
                return TRUE;
            }
            return FALSE;
        default:  // colours and links
            return parts_.AnswerShared(window_, message, wParam, lParam, result);
    }
}

void CResultDialogFW::OnInitDialog(const cw::CheckOutcome& outcome) {
    platformId_ = outcome.platformId;
    parts_.Fill(window_, outcome, CResultDialogParts::Kind::Firmware);
    fetchrunDebug_ = outcome.fetchrunDebug;

    // Alt+F4's close command comes here as WM_CLOSE, which this dialog ignores.
    cw::RemoveCloseBox(window_);
    FocusButtonOne(window_);
}

void CResultDialogFW::OnGo() {
    if (cw::StartFetchrun(fetchrunDebug_, platformId_)) {
        EndDialog(kClosedByButton);
        return;
    }
    // Without the library there is no text to show, and no box.
    if (!parts_.Library()) return;
    std::wstring text = parts_.String(kNotStartedText);
    if (text.empty()) text = cw::FormatText(L"%u", kNotStartedText);
    const std::wstring caption = parts_.String(kWindowCaption);
    MessageBoxW(window_, text.c_str(), caption.c_str(), MB_ICONERROR);
}

void CResultDialogFW::OnSleep() {
    ShowWindow(window_, SW_HIDE);
    sleepTicks_ = 0;
    SetTimer(window_, kSleepTimer, kSleepTickMs, nullptr);
}

void CResultDialogFW::OnTimer(UINT_PTR id) {
    // Every tick is a one-shot: the timer is armed again explicitly.
    KillTimer(window_, id);
    if (id != kSleepTimer) return;
    if (++sleepTicks_ < kSleepTicks) {
        SetTimer(window_, kSleepTimer, kSleepTickMs, nullptr);
        return;
    }
    ShowWindow(window_, SW_SHOW);
    // Above every other window for a moment, in the foreground, then an ordinary window again.
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    cw::BringToForeground(window_);
    SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace Norvane::PC::Ambergate
