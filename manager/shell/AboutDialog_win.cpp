#include "AboutDialog.h"

#include "res/resource.h"

AboutDialog::AboutDialog() : ModalDialog(IDD_ABOUTBOX) {}

BOOL AboutDialog::onInitDialog() {
    credits_.attach(GetDlgItem(hwnd(), IDC_CREDITS));
    HMODULE self = GetModuleHandleA(nullptr);
    // Resources stay mapped for the life of the module: the bytes are streamed where they lie.
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(IDR_CREDITS), "RTF");
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void *bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes)
        credits_.streamInRtf(static_cast<const char *>(bytes), SizeofResource(self, found));
    return TRUE;
}
