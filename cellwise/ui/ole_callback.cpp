#include "cellwise/ui/ole_callback.h"

#include <cguid.h>

#include "common/wide_format.h"

namespace Norvane::PC::Ambergate {
namespace {

// Any answer but S_OK leaves the object out and the rest of the text loads (Wine
// measured with S_FALSE and E_FAIL alike); a failure code also says "no" to a
// control that only tests for failure.
constexpr HRESULT kObjectRefused = E_FAIL;

}  // namespace

bool IsStaticPicture(const CLSID& classId) {
    // The static picture classes of OLE (cguid.h): CLSID_Picture_Metafile (the same
    // GUID as CLSID_StaticMetafile), CLSID_Picture_Dib (as CLSID_StaticDib; a bitmap
    // is kept as a DIB) and CLSID_Picture_EnhMetafile. Wine's rich edit gives the
    // pictures it makes from \pict, and from the \result of an \object, no class
    // at all (CLSID_NULL, measured); nothing can be created from that either.
    for (const CLSID* picture :
         {&CLSID_NULL, &CLSID_Picture_Metafile, &CLSID_Picture_Dib, &CLSID_Picture_EnhMetafile}) {
        if (IsEqualCLSID(classId, *picture)) return true;
    }
    return false;
}

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

STDMETHODIMP CMyRichEditOleCallback::QueryInsertObject(LPCLSID classId, LPSTORAGE, LONG) {
    return classId && IsStaticPicture(*classId) ? S_OK : kObjectRefused;
}

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
