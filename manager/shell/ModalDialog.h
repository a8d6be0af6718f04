// The small dialog layer the manager needs: a modal dialog run from a template whose
// static procedure stores `this` at WM_INITDIALOG and forwards to member handlers, and
// thin wrappers for the progress and rich-text controls.
#pragma once

#include <windows.h>

#include <cstddef>

class ModalDialog {
  public:
    explicit ModalDialog(UINT templateId) : templateId_(templateId) {}
    virtual ~ModalDialog() = default;
    ModalDialog(const ModalDialog &) = delete;
    ModalDialog &operator=(const ModalDialog &) = delete;

    // Runs the dialog from the program's own template; answers what endDialog was given.
    INT_PTR doModal(HWND parent = nullptr);
    HWND hwnd() const { return hwnd_; }

  protected:
    // Answers TRUE to let the system set the default focus.
    virtual BOOL onInitDialog() { return TRUE; }
    // A concrete dialog handles what it needs here; answering true stops the default
    // processing, `result` being the message's result.
    virtual bool handleMessage(UINT, WPARAM, LPARAM, LRESULT &) { return false; }
    virtual void onOK() { endDialog(IDOK); }
    virtual void onCancel() { endDialog(IDCANCEL); }
    // The default close takes the Cancel path.
    virtual void onClose() { onCancel(); }

    void endDialog(INT_PTR result);

  private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND hwnd_ = nullptr;
};

class ProgressControl {
  public:
    void attach(HWND control) { hwnd_ = control; }
    void setPos(int position) const;
    int pos() const;

  private:
    HWND hwnd_ = nullptr;
};

class RichEditControl {
  public:
    void attach(HWND control) { hwnd_ = control; }
    // Streams an RTF document into the control, reading the bytes in place.
    bool streamInRtf(const char *data, std::size_t size) const;

  private:
    HWND hwnd_ = nullptr;
};
