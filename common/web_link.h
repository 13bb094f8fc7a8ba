// The links both programs hand to the shell: web and mail addresses only. The
// shell's "open" would as well start any program or document a text names, and a
// link comes from the language library, which may be another's or unchecked.
// No Windows headers: tested natively.
#pragma once
#include <string>

namespace cw {

// Whether `text` is a web or mail address: http://, https:// or mailto: (ASCII
// case ignored) with something after it, and no blank, control character, DEL
// or double quote anywhere (a URL carries those escaped; a literal quote would end
// the browser's argument on its command line).
bool IsWebLink(const std::wstring& text);

}  // namespace cw
