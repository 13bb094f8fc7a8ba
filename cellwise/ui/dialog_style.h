// Fonts, colours and the logo size of the result dialogs.
#pragma once
#include <windows.h>

namespace cw {

// Font heights and widths relative to the dialog's own font.
inline constexpr double kCaptionFontFactor = 1.9;
inline constexpr double kBodyFontFactor = 1.0;
inline constexpr double kDescriptionFontFactor = 1.5;

// The system's message font `message` with the dialog font's height and width
// times `factor` (truncated toward zero) and the dialog font's weight.
LOGFONTW ScaleMessageFont(LOGFONTW message, const LOGFONTW& dialog, double factor);

// That font made from `dialog`'s current font; null when a font cannot be read or made.
HFONT CreateDialogFont(HWND dialog, double factor);

// What answers a control-colour message.
enum class BrushRole {
    None,        // high contrast: the system colours apply
    Caption,     // the caption band, on a transparent text background
    Background,  // the dialog and every other control
};
BrushRole ChooseBrush(bool highContrast, UINT message, int controlId);
bool IsHighContrastOn();

// The logo is 64 x 40 pixels at 96 pixels per inch.
SIZE LogoSize(int dpiX, int dpiY);

}  // namespace cw
