// The computer's product name and identifying number, as WMI reports them.
#pragma once
#include <string>

namespace cw {

struct ProductIdentity {
    std::wstring name;
    std::wstring identifyingNumber;
};

// Both empty on any failure. The calling thread must have initialised COM.
ProductIdentity ReadProductIdentity();

}  // namespace cw
