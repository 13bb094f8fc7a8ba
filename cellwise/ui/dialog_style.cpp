#include "cellwise/ui/dialog_style.h"

#include "cellwise/ui/resource.h"

namespace cw {
namespace {
constexpr UINT kNonClientMetricsSize = 504;  // with the padded border width
static_assert(sizeof(NONCLIENTMETRICSW) == kNonClientMetricsSize, "NONCLIENTMETRICSW with iPaddedBorderWidth");
#if defined(__i386__)
static_assert(sizeof(HIGHCONTRASTW) == 12, "i686 HIGHCONTRASTW");
#endif
constexpr int kLogoWidth = 64;
constexpr int kLogoHeight = 40;
constexpr int kBaseDpi = 96;
}  // namespace

LOGFONTW ScaleMessageFont(LOGFONTW message, const LOGFONTW& dialog, double factor) {
    message.lfHeight = static_cast<LONG>(dialog.lfHeight * factor);
    message.lfWidth = static_cast<LONG>(dialog.lfWidth * factor);
    message.lfWeight = dialog.lfWeight;
    return message;
}

HFONT CreateDialogFont(HWND dialog, double factor) {
    const HFONT current = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW dialogFont = {};
    if (!current || GetObjectW(current, sizeof(dialogFont), &dialogFont) != sizeof(dialogFont)) return nullptr;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = kNonClientMetricsSize;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, kNonClientMetricsSize, &metrics, 0)) return nullptr;
    const LOGFONTW font = ScaleMessageFont(metrics.lfMessageFont, dialogFont, factor);
    return CreateFontIndirectW(&font);
}

BrushRole ChooseBrush(bool highContrast, UINT message, int controlId) {
    if (highContrast) return BrushRole::None;
    if (message == WM_CTLCOLORSTATIC && controlId == IDC_STATIC_CAPTION) return BrushRole::Caption;
    return BrushRole::Background;
}

bool IsHighContrastOn() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

SIZE LogoSize(int dpiX, int dpiY) {
    return SIZE{MulDiv(kLogoWidth, dpiX, kBaseDpi), MulDiv(kLogoHeight, dpiY, kBaseDpi)};
}

}  // namespace cw
