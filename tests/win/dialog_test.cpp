// The small dialog layer, the starting dialog's template and the About box, in-process.
#include "AboutDialog.h"
#include "ModalDialog.h"
#include "WinTestUtil.h"
#include "res/resource.h"

#include <commctrl.h>
#include <commdlg.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// A dialog whose initialisation is the test's, counting closes.
class ProbeDialog : public ModalDialog {
  public:
    ProbeDialog(UINT templateId, std::function<void(HWND)> init)
        : ModalDialog(templateId), init_(std::move(init)) {}
    int closes = 0;

  protected:
    BOOL onInitDialog() override {
        init_(hwnd());
        return TRUE;
    }
    void onClose() override {
        ++closes;
        ModalDialog::onClose();
    }

  private:
    std::function<void(HWND)> init_;
};

class DialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        LoadLibraryA("RICHED32.DLL");
    }
};

TEST_F(DialogTest, ApplicationExitCommandEndsThroughClose) {
    ProbeDialog dlg(IDD_STARTING, [](HWND h) { PostMessageA(h, WM_COMMAND, ID_APP_EXIT, 0); });
    INT_PTR result = dlg.doModal();
    EXPECT_EQ(IDCANCEL, result) << "the close takes the Cancel path";
    EXPECT_EQ(1, dlg.closes);
    EXPECT_EQ(nullptr, dlg.hwnd()) << "window gone after the modal run";
}

TEST_F(DialogTest, CancelEndsWithoutClose) {
    ProbeDialog dlg(IDD_STARTING, [](HWND h) { PostMessageA(h, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(IDCANCEL, dlg.doModal());
    EXPECT_EQ(0, dlg.closes);
}

// Position and size of a control in dialog units.
RECT unitsOf(HWND dlg, int id) {
    RECT px{};
    HWND c = GetDlgItem(dlg, id);
    GetWindowRect(c, &px);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT *>(&px), 2);
    RECT unit{0, 0, 4, 8};
    MapDialogRect(dlg, &unit);
    return RECT{MulDiv(px.left, 4, unit.right), MulDiv(px.top, 8, unit.bottom),
                MulDiv(px.right - px.left, 4, unit.right), MulDiv(px.bottom - px.top, 8, unit.bottom)};
}

std::string className(HWND dlg, int id) {
    char name[64] = "";
    GetClassNameA(GetDlgItem(dlg, id), name, sizeof name);
    return name;
}

std::string describe(const RECT &r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "x" +
           std::to_string(r.bottom);
}

bool hasBorder(HWND control) {
    // The controls trade WS_BORDER for an edge of their own when they are created.
    return (GetWindowLongPtrA(control, GWL_STYLE) & WS_BORDER) ||
           (GetWindowLongPtrA(control, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
}

TEST_F(DialogTest, StartingTemplateHasItsControls) {
    ProbeDialog dlg(IDD_STARTING, [](HWND h) {
        EXPECT_EQ("Quorvel ", qvtest::windowText(h)) << "caption with its trailing blank";
        LONG_PTR style = GetWindowLongPtrA(h, GWL_STYLE);
        EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) && (style & WS_POPUP));
        EXPECT_TRUE(GetWindowLongPtrA(h, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "shown in the taskbar";
        struct Expected {
            int id;
            const char *cls;
            const char *text;
            RECT units;
        } controls[] = {
            {IDC_BROWSER, "Button", "Clique aqui para acionar o Quorvel no seu browser.", {10, 85, 255, 14}},
            {IDC_MINIMIZE, "Button", "Minimizar", {285, 85, 50, 14}},
            {IDC_STOP, "Button", "Encerrar", {345, 85, 50, 14}},
            {IDC_PROGRESS, "msctls_progress32", "", {10, 65, 385, 15}},
            {IDC_STATUS_TEXT, "Static", "O Quorvel est\xE1 iniciando...", {40, 13, 355, 20}},
        };
        for (const Expected &c : controls) {
            EXPECT_EQ(c.cls, className(h, c.id)) << "control " << c.id;
            EXPECT_EQ(c.text, qvtest::controlText(h, c.id)) << "control " << c.id;
            EXPECT_EQ(describe(c.units), describe(unitsOf(h, c.id))) << "control " << c.id;
        }
        HWND browser = GetDlgItem(h, IDC_BROWSER);
        EXPECT_FALSE(IsWindowEnabled(browser)) << "disabled until the start is announced";
        EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongPtrA(browser, GWL_STYLE) & 0xF);
        HWND bar = GetDlgItem(h, IDC_PROGRESS);
        EXPECT_EQ(0, SendMessageA(bar, PBM_GETRANGE, TRUE, 0));
        EXPECT_EQ(100, SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
        PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
    });
    dlg.doModal();
}

// The About box, looked at once its initialisation has streamed the credits in.
class AboutProbe : public AboutDialog {
  public:
    std::function<void(HWND)> check;

  protected:
    BOOL onInitDialog() override {
        BOOL r = AboutDialog::onInitDialog();
        check(hwnd());
        PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
        return r;
    }
};

std::string richText(HWND edit) {
    int n = GetWindowTextLengthA(edit);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(edit, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return text;
}

// Selects the first occurrence of `what` and answers its character format (0 mask when absent).
CHARFORMATA formatOf(HWND edit, const std::string &what) {
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    FINDTEXTA find{{0, -1}, what.c_str()};
    LRESULT at = SendMessageA(edit, EM_FINDTEXT, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&find));
    if (at < 0)
        return cf;
    CHARRANGE range{static_cast<LONG>(at), static_cast<LONG>(at + what.size())};
    SendMessageA(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return cf;
}

TEST_F(DialogTest, AboutBoxShowsTheCreditsFormatted) {
    AboutProbe about;
    int runs = 0;
    about.check = [&](HWND h) {
        ++runs;
        EXPECT_EQ("Gerenciador do Quorvel", qvtest::windowText(h));
        HWND edit = GetDlgItem(h, IDC_CREDITS);
        ASSERT_NE(nullptr, edit);
        EXPECT_STREQ("RICHEDIT", className(h, IDC_CREDITS).c_str());
        LONG_PTR style = GetWindowLongPtrA(edit, GWL_STYLE);
        const LONG_PTR wanted = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP;
        EXPECT_EQ(wanted, style & wanted);
        EXPECT_TRUE(hasBorder(edit));
        std::string text = richText(edit);
        EXPECT_EQ(0u, text.find("Quorvel")) << text.substr(0, 80);
        EXPECT_EQ(std::string::npos, text.find("\\rtf")) << "formatted, not RTF source";
        EXPECT_NE(std::string::npos, text.find("cujos cr\xE9"
                                               "ditos seguem abaixo:"));
        EXPECT_NE(std::string::npos, text.find("As licen\xE7"
                                               "as de uso encontram-se no diret\xF3rio licencas."));
        for (const char *name : {"Java Runtime Environment (J2RE) version 1.4.2", "Java Communications API",
                                 "JavaMail 1.3.2", "Jakarta Apache Tomcat", "AES.java", "HSQLDB", "ASM",
                                 "BouncyCastle", "Groovy", "JasperReports"}) {
            CHARFORMATA cf = formatOf(edit, name);
            EXPECT_TRUE((cf.dwMask & CFM_ITALIC) && (cf.dwEffects & CFE_ITALIC)) << name << " in italics";
            PARAFORMAT pf{};
            pf.cbSize = sizeof pf;
            SendMessageA(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
            EXPECT_EQ(PFN_BULLET, pf.wNumbering) << name << " in a bulleted paragraph";
        }
        CHARFORMATA heading = formatOf(edit, "Quorvel");
        EXPECT_TRUE(heading.dwEffects & CFE_BOLD) << "bold heading";
        CHARFORMATA intro = formatOf(edit, "Este produto");
        EXPECT_FALSE(intro.dwEffects & (CFE_BOLD | CFE_ITALIC)) << "plain introduction";
        EXPECT_TRUE(formatOf(edit, "licencas").dwEffects & CFE_BOLD) << "folder name in bold";
        EXPECT_EQ(1u, text.find("Quorvel", 0) + 1) << "streamed afresh, not appended";
        EXPECT_EQ(text.rfind("JasperReports"), text.find("JasperReports")) << "one copy of the document";
    };
    about.doModal();
    about.doModal();
    EXPECT_EQ(2, runs);
}

} // namespace
