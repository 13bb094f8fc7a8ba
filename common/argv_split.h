// A command line split into its arguments by the rules of the shell's
// CommandLineToArgvW, without loading shell32 (which brings in the whole user
// interface: a silent run would pay for it at every start). No Windows headers.
#pragma once
#include <string>
#include <vector>

namespace cw {

// The first element is the program path: up to the next quote when the line starts
// with one, else up to the first blank; backslashes are plain characters there.
// The other arguments are separated by blanks outside quotes; 2n backslashes before
// a quote give n backslashes and the quote opens or closes quoting, 2n + 1 give n
// and a literal quote, other backslashes are plain; inside quotes, a doubled quote
// gives one. An empty line gives one empty element (the caller supplies the
// program's own path then, as CommandLineToArgvW does).
std::vector<std::wstring> SplitCommandLine(const std::wstring& line);

}  // namespace cw
