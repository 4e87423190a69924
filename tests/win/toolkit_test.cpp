// The toolkit: control binding, the modal run and its result, default and
// overridden OK/Cancel, a quit request during a modal run, the owner's
// enabling, the standard warning box, the status bar and text conversion.
#include "resources/resource.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

// A dialog on the Image size template with its two edits bound.
class BoundDialog : public tk::CDialog {
public:
    explicit BoundDialog(HWND parent = nullptr) : tk::CDialog(IDD_IMAGE_SIZE, parent) {
        Bind(IDC_SIZE_WIDTH, width);
        Bind(IDC_SIZE_HEIGHT, height);
    }
    tk::CEdit width;
    tk::CEdit height;
    std::function<void(BoundDialog&)> onInit;
    std::function<void(BoundDialog&)> onOk;
    bool emptyOkCancel = false;
    int okCalls = 0;

protected:
    BOOL OnInitDialog() override {
        if (onInit) onInit(*this);
        return TRUE;
    }
    void OnOK() override {
        ++okCalls;
        if (onOk) onOk(*this);
        if (!emptyOkCancel) tk::CDialog::OnOK();
    }
    void OnCancel() override {
        if (!emptyOkCancel) tk::CDialog::OnCancel();
    }
};

// Posts a command to the dialog once its window exists.
void PostCommandLater(BoundDialog& dlg, WORD id) {
    dlg.onInit = [id](BoundDialog& d) { ::PostMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
}

HWND MakeOwner() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "ToolkitTestOwner";
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, "ToolkitTestOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                             nullptr, wc.hInstance, nullptr);
}

} // namespace

TEST(Toolkit, BoundControlsFollowTheWindowsLife) {
    BoundDialog dlg;
    EXPECT_EQ(dlg.width.Hwnd(), nullptr);
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(dlg.width.Hwnd(), ::GetDlgItem(dlg.Hwnd(), IDC_SIZE_WIDTH));
    EXPECT_EQ(dlg.height.Hwnd(), ::GetDlgItem(dlg.Hwnd(), IDC_SIZE_HEIGHT));
    dlg.width.SetText("0320");
    EXPECT_EQ(dlg.width.GetText(), "0320");
    dlg.Destroy();
    EXPECT_EQ(dlg.Hwnd(), nullptr);
    EXPECT_EQ(dlg.width.Hwnd(), nullptr);
    // The object can make its window again.
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_NE(dlg.width.Hwnd(), nullptr);
}

TEST(Toolkit, DialogsAreUnicodeWindowsAndTheirLoopKeepsEveryCharacter) {
    // A title or a typed character outside the ANSI code page reaches the
    // window as it is: the dialog and its controls are Unicode windows and
    // the modal loop takes and hands on messages in UTF-16.
    const std::wstring typed = L"\u0424\u5199";
    std::wstring title, text;
    BoundDialog dlg;
    dlg.onInit = [&](BoundDialog& d) {
        EXPECT_TRUE(::IsWindowUnicode(d.Hwnd()));
        EXPECT_TRUE(::IsWindowUnicode(d.width.Hwnd()));
        ::SetWindowTextW(d.Hwnd(), L"Quorvel Photo Manager - \u0424\u043e\u0442\u043e.png");
        ::SetWindowTextW(d.width.Hwnd(), L"");
        // The edit takes letters for this case, not only digits.
        ::SetWindowLongW(d.width.Hwnd(), GWL_STYLE, ::GetWindowLongW(d.width.Hwnd(), GWL_STYLE) & ~ES_NUMBER);
        for (wchar_t c : typed) ::PostMessageW(d.width.Hwnd(), WM_CHAR, c, 1);
        ::PostMessageW(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    dlg.onOk = [&](BoundDialog& d) {
        wchar_t buffer[128] = {};
        ::GetWindowTextW(d.Hwnd(), buffer, 128);
        title = buffer;
        ::GetWindowTextW(d.width.Hwnd(), buffer, 128);
        text = buffer;
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(title, L"Quorvel Photo Manager - \u0424\u043e\u0442\u043e.png");
    EXPECT_EQ(text, typed);
}

TEST(Toolkit, ModalRunReturnsWhatEndDialogWasGiven) {
    BoundDialog dlg;
    dlg.onInit = [](BoundDialog& d) { d.EndDialog(42); };
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.Hwnd(), nullptr);
}

TEST(Toolkit, DefaultOkAndCancelEndTheRun) {
    BoundDialog ok;
    PostCommandLater(ok, IDOK);
    EXPECT_EQ(ok.DoModal(), IDOK);
    BoundDialog cancel;
    PostCommandLater(cancel, IDCANCEL);
    EXPECT_EQ(cancel.DoModal(), IDCANCEL);
}

TEST(Toolkit, EmptyOkAndCancelEndNothing) {
    // OK and Cancel are empty: after both commands the dialog is still
    // running, and only its own EndDialog ends it.
    class Closing : public BoundDialog {
    public:
        Closing() { emptyOkCancel = true; }
        int okCallsBeforeEnd = -1;
    protected:
        bool OnCommand(int id, int, HWND) override {
            if (id != IDC_SIZE_CANCEL) return false;
            okCallsBeforeEnd = okCalls;
            EndDialog(7);
            return true;
        }
    } closing;
    closing.onInit = [](BoundDialog& d) {
        ::PostMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ::PostMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ::PostMessageA(d.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SIZE_CANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(closing.DoModal(), 7);
    EXPECT_EQ(closing.okCallsBeforeEnd, 1);
}

TEST(Toolkit, QuitRequestEndsTheModalRunAndIsHandedOn) {
    BoundDialog dlg;
    dlg.onInit = [](BoundDialog&) { ::PostQuitMessage(5); };
    EXPECT_EQ(dlg.DoModal(), IDABORT);
    ASSERT_TRUE(tk::CDialog::LastQuitCode().has_value());
    EXPECT_EQ(*tk::CDialog::LastQuitCode(), 5);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(Toolkit, OwnerIsDisabledDuringTheRunAndEnabledAfter) {
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    BOOL enabledInside = TRUE;
    // Sample the owner's state from inside the run, when the OK arrives.
    class Sampling : public BoundDialog {
    public:
        Sampling(HWND o, BOOL* out) : BoundDialog(o), owner(o), sample(out) {}
        HWND owner;
        BOOL* sample;
    protected:
        void OnOK() override {
            *sample = ::IsWindowEnabled(owner);
            BoundDialog::OnOK();
        }
    } sampling(owner, &enabledInside);
    PostCommandLater(sampling, IDOK);
    EXPECT_EQ(sampling.DoModal(), IDOK);
    EXPECT_FALSE(enabledInside);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

TEST(Toolkit, WarningBoxFollowsTheConventions) {
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    struct Seen {
        std::string caption, text;
        HWND boxOwner = nullptr;
        bool icon = false, onlyOk = false;
    } seen;
    std::thread answer([&] {
        HWND box = nullptr;
        for (int i = 0; i < 500 && !box; ++i) {
            ::Sleep(20);
            box = ::FindWindowA("#32770", "Quorvel Photo Manager");
        }
        if (!box) return;
        seen.caption = tk::GetWindowTextString(box);
        seen.text = tk::GetWindowTextString(::GetDlgItem(box, 0xFFFF));
        seen.boxOwner = ::GetWindow(box, GW_OWNER);
        // The warning icon is a static icon control of the box.
        HWND child = nullptr;
        while ((child = ::FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
            if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) seen.icon = true;
        }
        seen.onlyOk = ::GetDlgItem(box, IDOK) && !::GetDlgItem(box, IDCANCEL) && !::GetDlgItem(box, IDYES);
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    int result = tk::ShowWarning(owner, "No image loaded");
    answer.join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(seen.caption, "Quorvel Photo Manager");
    EXPECT_EQ(seen.text, "No image loaded");
    EXPECT_EQ(seen.boxOwner, owner);
    EXPECT_TRUE(seen.icon);
    EXPECT_TRUE(seen.onlyOk);
    ::DestroyWindow(owner);
}

TEST(Toolkit, StatusBarKeepsItsSimpleText) {
    HWND owner = MakeOwner();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    tk::CStatusBar bar;
    ASSERT_TRUE(bar.Create(owner, IDC_STATUS_BAR));
    EXPECT_EQ(::GetDlgCtrlID(bar.Hwnd()), IDC_STATUS_BAR);
    bar.SetSimpleText("Sending picture. Please wait...");
    EXPECT_EQ(bar.GetSimpleText(), "Sending picture. Please wait...");
    bar.SetSimpleText("Connected");
    EXPECT_EQ(bar.GetSimpleText(), "Connected");
    ::DestroyWindow(owner);
}

TEST(Toolkit, AnsiAndWideTextRoundTrip) {
    EXPECT_EQ(tk::ToWide(""), L"");
    EXPECT_EQ(tk::ToWide("HH_USBClient"), L"HH_USBClient");
    std::string ansi = "caf\xe9 \xfc";  // in the Western code page
    if (::GetACP() == 1252) {
        EXPECT_EQ(tk::ToWide(ansi), L"caf\u00e9 \u00fc");
    }
    EXPECT_EQ(tk::ToAnsi(tk::ToWide(ansi)), ansi);
}

TEST(Toolkit, HandleOwnersReleaseWhatTheyHold) {
    HANDLE raw = nullptr;
    {
        tk::UniqueHandle event(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.Get();
        tk::UniqueHandle moved(std::move(event));
        EXPECT_FALSE(event);
        EXPECT_EQ(moved.Get(), raw);
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));  // closed once, by its last owner
    {
        tk::Brush brush(::CreateSolidBrush(RGB(1, 2, 3)));
        ASSERT_TRUE(brush);
        HBRUSH kept = brush.Get();
        brush.Reset();
        EXPECT_EQ(::GetObjectType(kept), 0u);
    }
}

TEST(Toolkit, LibraryImageListCursorKeyAndSectionOwners) {
    {
        tk::Library hid(::LoadLibraryA("hid.dll"));
        ASSERT_TRUE(hid);
        EXPECT_NE(hid.Proc<FARPROC>("HidD_GetHidGuid"), nullptr);
        EXPECT_EQ(::GetModuleHandleA("hid.dll"), hid.Get());
    }
    EXPECT_EQ(::GetModuleHandleA("hid.dll"), nullptr);  // freed when its owner went

    HCURSOR rawCursor = nullptr;
    {
        const BYTE andMask[128] = {}, xorMask[128] = {};
        tk::Cursor cursor(::CreateCursor(::GetModuleHandleA(nullptr), 0, 0, 32, 32, andMask, xorMask));
        ASSERT_TRUE(cursor);
        rawCursor = cursor.Get();
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(rawCursor, &info));
        ::DeleteObject(info.hbmMask);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
    }
    ICONINFO gone{};
    EXPECT_FALSE(::GetIconInfo(rawCursor, &gone));

    {
        tk::RegKey key;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, key.Put()), ERROR_SUCCESS);
        HKEY raw = key.Get();
        tk::RegKey moved(std::move(key));
        EXPECT_FALSE(key);
        EXPECT_EQ(moved.Get(), raw);
        moved.Reset();
        DWORD subkeys = 0;
        EXPECT_NE(::RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }

    {
        tk::ImageList list(::ImageList_Create(16, 16, ILC_COLOR32, 1, 1));
        ASSERT_TRUE(list);
        HIMAGELIST raw = list.Get();
        tk::ImageList moved(std::move(list));
        EXPECT_FALSE(list);
        EXPECT_EQ(moved.Get(), raw);
        EXPECT_EQ(::ImageList_GetImageCount(moved.Get()), 0);
    }

    {
        tk::DibSection32 bad(0, 5);
        EXPECT_FALSE(bad);
        EXPECT_EQ(bad.Bits(), nullptr);
        tk::DibSection32 section(7, 3);
        ASSERT_TRUE(section);
        EXPECT_EQ(section.PixelCount(), 21u);
        DIBSECTION seen{};
        ASSERT_EQ(::GetObjectA(section.Get(), sizeof seen, &seen), static_cast<int>(sizeof seen));
        EXPECT_EQ(seen.dsBm.bmBitsPixel, 32);
        EXPECT_EQ(seen.dsBm.bmBits, section.Bits());
        section.Bits()[20] = 0x00A0B0C0;  // the last pixel is writable
        section.Bits()[0] = 0x00102030;   // top-down: the first row is the top one
        {
            tk::MemoryDC dc;
            tk::ScopedSelect select(dc.Get(), section.Get());
            EXPECT_EQ(::GetPixel(dc.Get(), 0, 0), RGB(0x10, 0x20, 0x30));
            EXPECT_EQ(::GetPixel(dc.Get(), 6, 2), RGB(0xA0, 0xB0, 0xC0));
        }
        HBITMAP raw = section.Get();
        tk::DibSection32 moved(std::move(section));
        EXPECT_FALSE(section);
        EXPECT_EQ(moved.Get(), raw);
        moved = tk::DibSection32();
        EXPECT_EQ(::GetObjectType(raw), 0u);
        tk::DibSection32 handedOver(2, 2, false);
        tk::Bitmap taker(handedOver.Release());
        EXPECT_FALSE(handedOver);
        EXPECT_EQ(::GetObjectType(taker.Get()), static_cast<DWORD>(OBJ_BITMAP));
    }
}
