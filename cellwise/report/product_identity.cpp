#include "cellwise/report/product_identity.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>

namespace cw {
namespace {

const CLSID kWbemLocator = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
const IID kIWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

constexpr wchar_t kNamespace[] = L"\\\\.\\ROOT\\CIMV2";
constexpr wchar_t kQueryLanguage[] = L"WQL";
constexpr wchar_t kQuery[] = L"SELECT * FROM Win32_ComputerSystemProduct";
constexpr wchar_t kNameProperty[] = L"Name";
constexpr wchar_t kNumberProperty[] = L"IdentifyingNumber";

// Owns one COM interface pointer.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** put() { return &p_; }
    void** put_void() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// Owns one BSTR made from a constant.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const { return b_; }

private:
    BSTR b_;
};

// A VARIANT cleared on every path.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v); }
    std::wstring Text() const { return (v.vt == VT_BSTR && v.bstrVal) ? std::wstring(v.bstrVal) : std::wstring(); }
};

// The first Win32_ComputerSystemProduct object; false when there is none.
bool GetProductObject(ComRef<IWbemClassObject>& product) {
    ComRef<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(kWbemLocator, nullptr, CLSCTX_ALL, kIWbemLocator, locator.put_void()))) return false;
    Bstr ns(kNamespace);
    ComRef<IWbemServices> services;
    if (FAILED(locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put()))) {
        return false;
    }
    if (FAILED(CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
        return false;
    }
    Bstr language(kQueryLanguage);
    Bstr query(kQuery);
    ComRef<IEnumWbemClassObject> objects;
    if (FAILED(services->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                   nullptr, objects.put()))) {
        return false;
    }
    ULONG returned = 0;
    const HRESULT next = objects->Next(WBEM_INFINITE, 1, product.put(), &returned);
    return SUCCEEDED(next) && returned == 1 && product.get();
}

}  // namespace

ProductIdentity ReadProductIdentity() {
    ComRef<IWbemClassObject> product;
    if (!GetProductObject(product)) return {};
    Variant name;
    if (FAILED(product->Get(kNameProperty, 0, &name.v, nullptr, nullptr))) return {};
    Variant number;
    if (FAILED(product->Get(kNumberProperty, 0, &number.v, nullptr, nullptr))) return {};
    return ProductIdentity{name.Text(), number.Text()};
}

}  // namespace cw
