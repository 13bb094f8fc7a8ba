// Simulated WMI product identity: one Wine prefix stands in for many notebooks.
//
// Wine's WMI names every machine "Wine" with the identifying number "0". A fleet
// scenario registers this DLL as the in-process server of the WMI locator
// (CLSID_WbemLocator), and each run it starts says which machine it is through
// its environment:
//   CW_WMISIM_NAME    the Name of Win32_ComputerSystemProduct
//   CW_WMISIM_NUMBER  its IdentifyingNumber (missing: a null value)
// It answers one query, "SELECT * FROM Win32_ComputerSystemProduct" in WQL on
// the local ROOT\CIMV2 namespace, with one object holding those two properties.
// A process without CW_WMISIM_NAME gets Wine's own provider (wbemprox.dll), so the
// other programs of the prefix see WMI as it was.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <string>

namespace {

const CLSID kWbemLocator = {0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
const IID kIWbemLocator = {0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
const IID kIWbemServices = {0x9556dc99, 0x828c, 0x11cf, {0xa3, 0x7e, 0x00, 0xaa, 0x00, 0x32, 0x40, 0xc7}};
const IID kIEnumWbemClassObject = {0x027947e1, 0xd731, 0x11ce, {0xa3, 0x57, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
const IID kIWbemClassObject = {0xdc12a681, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};

bool Environment(const wchar_t* name, std::wstring& value) {
    wchar_t text[512];
    SetLastError(0);
    DWORD n = GetEnvironmentVariableW(name, text, ARRAYSIZE(text));
    if (n >= ARRAYSIZE(text) || (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)) return false;
    value.assign(text, n);
    return true;
}

bool Configured() {
    std::wstring ignored;
    return Environment(L"CW_WMISIM_NAME", ignored);
}

// A heap object with one reference count, freed at the last Release.
template <typename Self>
class Counted {
public:
    ULONG AddRefImpl() { return InterlockedIncrement(&refs_); }
    ULONG ReleaseImpl() {
        ULONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete static_cast<Self*>(this);
        return left;
    }

private:
    LONG refs_ = 1;
};

#define CW_COUNTED_UNKNOWN                                                 \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }     \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

#define CW_NOT_IMPLEMENTED(method, ...) \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return WBEM_E_NOT_SUPPORTED; }

bool Same(const wchar_t* a, const wchar_t* b) { return a && b && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

class Product final : public IWbemClassObject, public Counted<Product> {
public:
    Product() {
        Environment(L"CW_WMISIM_NAME", name_);
        hasNumber_ = Environment(L"CW_WMISIM_NUMBER", number_);
    }
    virtual ~Product() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != kIWbemClassObject) return E_NOINTERFACE;
        *out = static_cast<IWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    CW_COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
        const std::wstring* text = nullptr;
        if (Same(name, L"Name")) text = &name_;
        else if (Same(name, L"IdentifyingNumber")) text = hasNumber_ ? &number_ : nullptr;
        else return WBEM_E_NOT_FOUND;
        if (type) *type = CIM_STRING;
        if (flavor) *flavor = WBEM_FLAVOR_ORIGIN_PROPAGATED;
        if (!value) return S_OK;
        VariantInit(value);
        if (!text) {
            value->vt = VT_NULL;
            return S_OK;
        }
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
        return value->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

    CW_NOT_IMPLEMENTED(GetQualifierSet, IWbemQualifierSet**)
    CW_NOT_IMPLEMENTED(Put, LPCWSTR, LONG, VARIANT*, CIMTYPE)
    CW_NOT_IMPLEMENTED(Delete, LPCWSTR)
    CW_NOT_IMPLEMENTED(GetNames, LPCWSTR, LONG, VARIANT*, SAFEARRAY**)
    CW_NOT_IMPLEMENTED(BeginEnumeration, LONG)
    CW_NOT_IMPLEMENTED(Next, LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*)
    CW_NOT_IMPLEMENTED(EndEnumeration)
    CW_NOT_IMPLEMENTED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet**)
    CW_NOT_IMPLEMENTED(Clone, IWbemClassObject**)
    CW_NOT_IMPLEMENTED(GetObjectText, LONG, BSTR*)
    CW_NOT_IMPLEMENTED(SpawnDerivedClass, LONG, IWbemClassObject**)
    CW_NOT_IMPLEMENTED(SpawnInstance, LONG, IWbemClassObject**)
    CW_NOT_IMPLEMENTED(CompareTo, LONG, IWbemClassObject*)
    CW_NOT_IMPLEMENTED(GetPropertyOrigin, LPCWSTR, BSTR*)
    CW_NOT_IMPLEMENTED(InheritsFrom, LPCWSTR)
    CW_NOT_IMPLEMENTED(GetMethod, LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**)
    CW_NOT_IMPLEMENTED(PutMethod, LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*)
    CW_NOT_IMPLEMENTED(DeleteMethod, LPCWSTR)
    CW_NOT_IMPLEMENTED(BeginMethodEnumeration, LONG)
    CW_NOT_IMPLEMENTED(NextMethod, LONG, BSTR*, IWbemClassObject**, IWbemClassObject**)
    CW_NOT_IMPLEMENTED(EndMethodEnumeration)
    CW_NOT_IMPLEMENTED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet**)
    CW_NOT_IMPLEMENTED(GetMethodOrigin, LPCWSTR, BSTR*)

private:
    std::wstring name_;
    std::wstring number_;
    bool hasNumber_ = false;
};

// The query's result: the one product object, then the end.
class Products final : public IEnumWbemClassObject, public Counted<Products> {
public:
    virtual ~Products() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != kIEnumWbemClassObject) return E_NOINTERFACE;
        *out = static_cast<IEnumWbemClassObject*>(this);
        AddRef();
        return S_OK;
    }
    CW_COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE Reset() override {
        given_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        if (!objects || !returned) return WBEM_E_INVALID_PARAMETER;
        *returned = 0;
        if (count == 0) return WBEM_S_NO_ERROR;
        if (given_) return WBEM_S_FALSE;
        given_ = true;
        objects[0] = new Product();
        *returned = 1;
        return count == 1 ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }
    CW_NOT_IMPLEMENTED(NextAsync, ULONG, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(Clone, IEnumWbemClassObject**)
    CW_NOT_IMPLEMENTED(Skip, LONG, ULONG)

private:
    bool given_ = false;
};

// The namespace. It takes proxy security settings (CoSetProxyBlanket asks the
// object for IClientSecurity) as Wine's in-process provider does.
class Services final : public IWbemServices, public IClientSecurity, public Counted<Services> {
public:
    virtual ~Services() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == kIWbemServices) *out = static_cast<IWbemServices*>(this);
        else if (riid == IID_IClientSecurity) *out = static_cast<IClientSecurity*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    CW_COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG, IWbemContext*,
                                        IEnumWbemClassObject** result) override {
        if (!result) return WBEM_E_INVALID_PARAMETER;
        *result = nullptr;
        if (!Same(language, L"WQL")) return WBEM_E_INVALID_QUERY_TYPE;
        if (!Same(query, L"SELECT * FROM Win32_ComputerSystemProduct")) return WBEM_E_INVALID_QUERY;
        *result = new Products();
        return S_OK;
    }

    // IClientSecurity
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD, void*, DWORD) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown**) override { return E_NOTIMPL; }

    CW_NOT_IMPLEMENTED(OpenNamespace, const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(CancelAsyncCall, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(QueryObjectSink, LONG, IWbemObjectSink**)
    CW_NOT_IMPLEMENTED(GetObject, const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(GetObjectAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(PutClass, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(PutClassAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(DeleteClass, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(DeleteClassAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(CreateClassEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    CW_NOT_IMPLEMENTED(CreateClassEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(PutInstance, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(PutInstanceAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(DeleteInstance, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(DeleteInstanceAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(CreateInstanceEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    CW_NOT_IMPLEMENTED(CreateInstanceEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    CW_NOT_IMPLEMENTED(ExecNotificationQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    CW_NOT_IMPLEMENTED(ExecMethod, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                       IWbemClassObject**, IWbemCallResult**)
    CW_NOT_IMPLEMENTED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                       IWbemObjectSink*)
};

class Locator final : public IWbemLocator, public Counted<Locator> {
public:
    virtual ~Locator() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != kIWbemLocator) return E_NOINTERFACE;
        *out = static_cast<IWbemLocator*>(this);
        AddRef();
        return S_OK;
    }
    CW_COUNTED_UNKNOWN

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR, const BSTR, const BSTR, LONG,
                                            const BSTR, IWbemContext*, IWbemServices** services) override {
        if (!services) return WBEM_E_INVALID_PARAMETER;
        *services = nullptr;
        if (!Same(resource, L"\\\\.\\ROOT\\CIMV2") && !Same(resource, L"ROOT\\CIMV2")) {
            return WBEM_E_INVALID_NAMESPACE;
        }
        *services = new Services();
        return S_OK;
    }
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: never freed
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Locator* locator = new Locator();
        HRESULT hr = locator->QueryInterface(riid, out);
        locator->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!Configured()) {
        // Wine's provider answers for this process; it stays loaded with it. By its
        // full path, as the registration it stands in for names it: the programs
        // search only the system folder, and the provider lies in its wbem folder.
        wchar_t path[MAX_PATH];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        const wchar_t kProvider[] = L"\\wbem\\wbemprox.dll";
        HMODULE wine = nullptr;
        if (length != 0 && length + ARRAYSIZE(kProvider) <= MAX_PATH) {
            lstrcatW(path, kProvider);
            wine = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        auto get = wine ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
                              reinterpret_cast<void*>(GetProcAddress(wine, "DllGetClassObject")))
                        : nullptr;
        return get ? get(clsid, riid, out) : CLASS_E_CLASSNOTAVAILABLE;
    }
    if (clsid != kWbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, out);
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
