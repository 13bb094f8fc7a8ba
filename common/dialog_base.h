// A small dialog framework without ATL. CWindow holds a window handle; a dialog
// class derives from CDialogImpl<T>, names its template in T::IDD and answers its
// messages in ProcessWindowMessage. The object is bound to its window by the
// first message the dialog procedure receives (WM_SETFONT comes before
// WM_INITDIALOG), so the creation parameter stays free for the caller.
#pragma once
#include <windows.h>

namespace cw {

class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND window) : window_(window) {}

    HWND Handle() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    LRESULT SendItem(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendDlgItemMessageW(window_, id, message, wParam, lParam);
    }
    void ShowItem(int id, int command) const { ShowWindow(Item(id), command); }

protected:
    HWND window_ = nullptr;
};

template <class T>
class CDialogImpl : public CWindow {
public:
    CDialogImpl() = default;
    CDialogImpl(const CDialogImpl&) = delete;
    CDialogImpl& operator=(const CDialogImpl&) = delete;

    // The message map: TRUE when `message` was handled, with its answer in `result`.
    virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;
    virtual ~CDialogImpl() = default;
    virtual DLGPROC GetDialogProc() { return DialogProc; }
    // Called once the window is gone (after WM_NCDESTROY).
    virtual void OnFinalMessage(HWND) {}

    // Runs template T::IDD of `module` modally; EndDialog's value, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal(HINSTANCE module, HWND owner, LPARAM initParam) {
        binding_ = this;
        const INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(T::IDD), owner, GetDialogProc(), initParam);
        binding_ = nullptr;
        return result;
    }

    // Creates template T::IDD of `module` modeless; null on failure.
    HWND Create(HINSTANCE module, HWND owner, LPARAM initParam) {
        binding_ = this;
        const HWND window = CreateDialogParamW(module, MAKEINTRESOURCEW(T::IDD), owner, GetDialogProc(), initParam);
        binding_ = nullptr;
        return window;
    }

    BOOL EndDialog(INT_PTR result) { return ::EndDialog(window_, result); }

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CDialogImpl*>(GetWindowLongPtrW(window, DWLP_USER));
        if (!self) {
            self = binding_;
            if (!self) return FALSE;
            binding_ = nullptr;
            self->window_ = window;
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        }
        LRESULT result = 0;
        const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            self->window_ = nullptr;
            self->OnFinalMessage(window);
        }
        if (!handled) return FALSE;
        if (AnswersDirectly(message)) return static_cast<INT_PTR>(result);
        // Everything else answers through the dialog's message result.
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }

private:
    // The messages whose answer is the dialog procedure's own return value.
    static bool AnswersDirectly(UINT message) {
        return message == WM_INITDIALOG || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
               message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
               message == WM_QUERYDRAGICON;
    }

    // The object whose window is being created (dialogs live on one thread).
    static inline CDialogImpl* binding_ = nullptr;
};

}  // namespace cw
