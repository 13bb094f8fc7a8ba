// A dialog that only its own buttons end: no close box, no close command. The
// change is made on the one window, never on its class: a class style is shared
// by every dialog of the class "#32770" in the process, message boxes and task
// dialogs included.
#pragma once
#include <windows.h>

namespace cw {

// Takes the system menu, and with it the close box, off `window` and greys its
// close command. Alt+F4 still sends the close command: the dialog swallows it
// (IsCloseCommand).
void RemoveCloseBox(HWND window);

// Whether a WM_SYSCOMMAND's command is Close (the system menu's, or Alt+F4's).
inline bool IsCloseCommand(WPARAM command) { return (command & 0xFFF0) == SC_CLOSE; }

}  // namespace cw
