// The rich text's OLE callback: hands the control sub-storages of one temporary
// compound file for embedded objects, and lets only static pictures in.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <richole.h>

#include "common/unique_handle.h"

namespace Norvane::PC::Ambergate {

// Root storage: a temporary compound file, removed when the callback goes.
inline constexpr DWORD kRootStorageMode =
    STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE | STGM_DELETEONRELEASE;
inline constexpr DWORD kSubStorageMode = STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
inline constexpr wchar_t kStorageNameFormat[] = L"REOLEStorage%d";

// Whether an object of `classId` may enter the rich text: static pictures only,
// whose data is drawn and never run. Any other class would be created (and its
// code run) while the text loads.
bool IsStaticPicture(const CLSID& classId);

// Created with one reference; destroyed by the Release that ends the last one.
// Single-threaded (the dialog's apartment): the count is a plain counter.
class CMyRichEditOleCallback : public IRichEditOleCallback {
public:
    CMyRichEditOleCallback();
    CMyRichEditOleCallback(const CMyRichEditOleCallback&) = delete;
    CMyRichEditOleCallback& operator=(const CMyRichEditOleCallback&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetNewStorage(LPSTORAGE* storage) override;
    STDMETHODIMP GetInPlaceContext(LPOLEINPLACEFRAME* frame, LPOLEINPLACEUIWINDOW* document,
                                   LPOLEINPLACEFRAMEINFO frameInfo) override;
    STDMETHODIMP ShowContainerUI(BOOL show) override;
    STDMETHODIMP QueryInsertObject(LPCLSID classId, LPSTORAGE storage, LONG position) override;
    STDMETHODIMP DeleteObject(LPOLEOBJECT object) override;
    STDMETHODIMP QueryAcceptData(LPDATAOBJECT data, CLIPFORMAT* format, DWORD operation, BOOL really,
                                 HGLOBAL metafile) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
    STDMETHODIMP GetClipboardData(CHARRANGE* range, DWORD operation, LPDATAOBJECT* data) override;
    STDMETHODIMP GetDragDropEffect(BOOL drag, DWORD keyState, LPDWORD effect) override;
    STDMETHODIMP GetContextMenu(WORD selectionType, LPOLEOBJECT object, CHARRANGE* range, HMENU* menu) override;

private:
    virtual ~CMyRichEditOleCallback() = default;

    ULONG references_ = 1;
    int storages_ = 0;
    cw::unique_com<IStorage> root_;
};

}  // namespace Norvane::PC::Ambergate
