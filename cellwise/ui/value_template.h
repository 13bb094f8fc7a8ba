// Whether a value line's template (strings 107 and 108 of the language library)
// can be expanded with the two values it is given. FormatMessage takes what a
// template asks for from its argument array without knowing the array's size,
// and a printf conversion in an insert reads the argument as what it names: so
// the template is judged before it is used. No Windows headers: tested natively.
#pragma once
#include <string>

namespace cw {

// True when every insert of `pattern` is %1 or %2, either plain or with a string
// conversion "!s!" that may carry flags, a width and a precision of up to three
// digits each. Anything else is refused: a higher insert, a '*' width or
// precision (it takes a further argument), another conversion (a number, a
// pointer, a narrow string, a count written back), an unterminated conversion.
// FormatMessage's escapes (%%, %n, %0, ...) are text.
bool IsTwoValueTemplate(const std::wstring& pattern);

}  // namespace cw
