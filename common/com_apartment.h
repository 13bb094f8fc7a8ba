// COM for the calling thread while the object lives: a single-threaded apartment,
// opened by what needs it (the result dialog, the CSV report's WMI query), and the
// process-wide security, which the first apartment sets.
#pragma once
#include <objbase.h>

namespace cw {

class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        // Security can be set only once per process; a refusal changes nothing here.
        if (initialised_) {
            CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                 nullptr, EOAC_NONE, nullptr);
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }

private:
    bool initialised_;
};

}  // namespace cw
