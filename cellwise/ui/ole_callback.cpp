#include "cellwise/ui/ole_callback.h"

#include "common/wide_format.h"

namespace Norvane::PC::Ambergate {

CMyRichEditOleCallback::CMyRichEditOleCallback() {
    // Without a root storage the control is simply given no sub-storage.
    StgCreateStorageEx(nullptr, kRootStorageMode, STGFMT_STORAGE, 0, nullptr, nullptr, IID_IStorage,
                       reinterpret_cast<void**>(root_.put()));
}

STDMETHODIMP CMyRichEditOleCallback::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IRichEditOleCallback) || IsEqualIID(iid, IID_IUnknown)) {
        AddRef();
        *object = static_cast<IRichEditOleCallback*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMyRichEditOleCallback::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) CMyRichEditOleCallback::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CMyRichEditOleCallback::GetNewStorage(LPSTORAGE* storage) {
    if (!storage) return E_POINTER;
    *storage = nullptr;
    if (!root_) return E_UNEXPECTED;
    const std::wstring name = cw::FormatText(kStorageNameFormat, ++storages_);
    return root_.get()->CreateStorage(name.c_str(), kSubStorageMode, 0, 0, storage);
}

// No in-place activation: the control then opens an embedded object in its own window.
STDMETHODIMP CMyRichEditOleCallback::GetInPlaceContext(LPOLEINPLACEFRAME* frame, LPOLEINPLACEUIWINDOW* document,
                                                       LPOLEINPLACEFRAMEINFO) {
    if (frame) *frame = nullptr;
    if (document) *document = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CMyRichEditOleCallback::ShowContainerUI(BOOL) { return S_OK; }
STDMETHODIMP CMyRichEditOleCallback::QueryInsertObject(LPCLSID, LPSTORAGE, LONG) { return S_OK; }
STDMETHODIMP CMyRichEditOleCallback::DeleteObject(LPOLEOBJECT) { return S_OK; }
STDMETHODIMP CMyRichEditOleCallback::QueryAcceptData(LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) { return S_OK; }
STDMETHODIMP CMyRichEditOleCallback::ContextSensitiveHelp(BOOL) { return S_OK; }

// No data object of our own: the control copies with its default one.
STDMETHODIMP CMyRichEditOleCallback::GetClipboardData(CHARRANGE*, DWORD, LPDATAOBJECT* data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CMyRichEditOleCallback::GetDragDropEffect(BOOL, DWORD, LPDWORD) { return S_OK; }

// No context menu.
STDMETHODIMP CMyRichEditOleCallback::GetContextMenu(WORD, LPOLEOBJECT, CHARRANGE*, HMENU* menu) {
    if (menu) *menu = nullptr;
    return S_OK;
}

}  // namespace Norvane::PC::Ambergate
