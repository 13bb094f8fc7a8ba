// Move-only owner of one Windows resource, parameterised by a traits struct that
// names the handle type, its invalid value and its close call. reset() keeps the
// thread's last error, so a failure path can close what it holds and still report
// why the failing call failed.
#pragma once
#include <windows.h>
#include <wininet.h>
#include <wincrypt.h>
#include <setupapi.h>

namespace cw {

template <typename Traits>
class unique_handle {
public:
    using pointer = typename Traits::pointer;

    unique_handle() noexcept = default;
    explicit unique_handle(pointer value) noexcept : value_(value) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    [[nodiscard]] pointer release() noexcept {
        pointer value = value_;
        value_ = Traits::invalid();
        return value;
    }

    void reset(pointer value = Traits::invalid()) noexcept {
        if (value_ != Traits::invalid()) {
            DWORD saved = GetLastError();
            Traits::close(value_);
            SetLastError(saved);
        }
        value_ = value;
    }

    // For out-parameters of creating calls: frees what is held, hands the slot out.
    pointer* put() noexcept {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::invalid();
};

// Most resources are "none" when zero or null and have a one-argument release call.
template <typename T, auto Close>
struct zero_invalid_traits {
    using pointer = T;
    static pointer invalid() noexcept { return T{}; }
    static void close(pointer h) noexcept { Close(h); }
};

struct file_handle_traits {  // CreateFileW and friends: INVALID_HANDLE_VALUE
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { CloseHandle(h); }
};
struct devinfo_traits {
    using pointer = HDEVINFO;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { SetupDiDestroyDeviceInfoList(h); }
};
inline void ReleaseCryptContext(HCRYPTPROV h) noexcept { CryptReleaseContext(h, 0); }

using null_handle_traits = zero_invalid_traits<HANDLE, &CloseHandle>;  // processes, threads, events
using reg_key_traits = zero_invalid_traits<HKEY, &RegCloseKey>;
using module_traits = zero_invalid_traits<HMODULE, &FreeLibrary>;
using service_traits = zero_invalid_traits<SC_HANDLE, &CloseServiceHandle>;
using gdi_traits = zero_invalid_traits<HGDIOBJ, &DeleteObject>;
using icon_traits = zero_invalid_traits<HICON, &DestroyIcon>;
using inet_traits = zero_invalid_traits<HINTERNET, &InternetCloseHandle>;
using crypt_prov_traits = zero_invalid_traits<HCRYPTPROV, &ReleaseCryptContext>;
using crypt_hash_traits = zero_invalid_traits<HCRYPTHASH, &CryptDestroyHash>;
using local_memory_traits = zero_invalid_traits<HLOCAL, &LocalFree>;
using global_memory_traits = zero_invalid_traits<HGLOBAL, &GlobalFree>;
using font_traits = zero_invalid_traits<HFONT, &DeleteObject>;
using brush_traits = zero_invalid_traits<HBRUSH, &DeleteObject>;
using cert_context_traits = zero_invalid_traits<PCCERT_CONTEXT, &CertFreeCertificateContext>;

template <typename T>
inline void ReleaseComObject(T* object) noexcept { object->Release(); }
template <typename T>
using com_traits = zero_invalid_traits<T*, &ReleaseComObject<T>>;

using unique_file = unique_handle<file_handle_traits>;
using unique_kernel = unique_handle<null_handle_traits>;
using unique_hkey = unique_handle<reg_key_traits>;
using unique_module = unique_handle<module_traits>;
using unique_service = unique_handle<service_traits>;
using unique_gdi = unique_handle<gdi_traits>;
using unique_icon = unique_handle<icon_traits>;
using unique_inet = unique_handle<inet_traits>;
using unique_crypt_prov = unique_handle<crypt_prov_traits>;
using unique_crypt_hash = unique_handle<crypt_hash_traits>;
using unique_devinfo = unique_handle<devinfo_traits>;
using unique_local = unique_handle<local_memory_traits>;
using unique_global = unique_handle<global_memory_traits>;
using unique_font = unique_handle<font_traits>;
using unique_brush = unique_handle<brush_traits>;
using unique_cert_context = unique_handle<cert_context_traits>;
// One reference to a COM object.
template <typename T>
using unique_com = unique_handle<com_traits<T>>;

// A window's device context for the scope of this object.
class window_dc {
public:
    explicit window_dc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    ~window_dc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Locks a global memory block for the scope of this object.
class global_lock {
public:
    explicit global_lock(HGLOBAL block) noexcept
        : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    global_lock(const global_lock&) = delete;
    global_lock& operator=(const global_lock&) = delete;
    ~global_lock() {
        if (data_) {
            DWORD saved = GetLastError();
            GlobalUnlock(block_);
            SetLastError(saved);
        }
    }
    void* get() const noexcept { return data_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    HGLOBAL block_;
    void* data_;
};

}  // namespace cw
