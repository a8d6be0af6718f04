#include "ModalDialog.h"

#include "res/resource.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

INT_PTR ModalDialog::doModal(HWND parent) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent,
                           &ModalDialog::dialogProc, reinterpret_cast<LPARAM>(this));
}

void ModalDialog::endDialog(INT_PTR result) {
    EndDialog(hwnd_, result);
}

INT_PTR CALLBACK ModalDialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ModalDialog *self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<ModalDialog *>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
    } else {
        // Messages before WM_INITDIALOG (WM_SETFONT, ...) find no object yet.
        self = reinterpret_cast<ModalDialog *>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR handled = self->dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        self->hwnd_ = nullptr;
    return handled;
}

INT_PTR ModalDialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return onInitDialog();
    LRESULT result = 0;
    if (handleMessage(message, wParam, lParam, result)) {
        // These few messages return their result directly; all others through DWLP_MSGRESULT.
        switch (message) {
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return static_cast<INT_PTR>(result);
        default:
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            onOK();
            return TRUE;
        case IDCANCEL:
            onCancel();
            return TRUE;
        case ID_APP_EXIT:
            // The framework's application exit closes the main window, which this dialog is.
            SendMessageA(hwnd_, WM_CLOSE, 0, 0);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:
        onClose();
        return TRUE;
    default:
        return FALSE;
    }
}

void ProgressControl::setPos(int position) const {
    SendMessageA(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int ProgressControl::pos() const {
    return static_cast<int>(SendMessageA(hwnd_, PBM_GETPOS, 0, 0));
}

namespace {
// The document's bytes, read where they lie.
struct MemoryReader {
    const char *data;
    std::size_t size;
    std::size_t offset;
};

DWORD CALLBACK readChunk(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG *got) {
    auto *reader = reinterpret_cast<MemoryReader *>(cookie);
    std::size_t n =
        std::min(static_cast<std::size_t>(wanted > 0 ? wanted : 0), reader->size - reader->offset);
    std::copy_n(reader->data + reader->offset, n, buffer);
    reader->offset += n;
    *got = static_cast<LONG>(n);
    return 0;
}
} // namespace

bool RichEditControl::streamInRtf(const char *data, std::size_t size) const {
    MemoryReader reader{data, size, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&reader);
    stream.pfnCallback = &readChunk;
    SendMessageA(hwnd_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return stream.dwError == 0;
}
