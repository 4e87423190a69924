// Checks the compiled resources that the program links: every dialog
// template is an extended template with the size, title, styles and controls
// that the code and the layout depend on; the menu bar has its three entries;
// every icon exists at 32 x 32 and 16 x 16; the handheld pictures have the
// size and depth the preview scales from; the drag cursor, the manifest and
// the version block are there.
//
// Dialog templates are read back from the resource bytes with a small
// DLGTEMPLATEEX parser, so a control that moved by one dialog unit or changed
// its class is caught here rather than by eye in a screenshot.
#include <windows.h>
#include <commctrl.h>
#include <winver.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

// ------------------------------------------------------------ the parser

struct DialogItem {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring className;  // lower case; atoms are turned into their names
    std::wstring text;       // empty when the title is an ordinal
    int textOrdinal = -1;    // the ordinal when the title is one (ICON statics)
    WORD creationDataSize = 0;
};

struct DialogTemplate {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu;
    int menuOrdinal = -1;
    std::wstring windowClass;
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Reads little-endian fields from a resource block, never past its end.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }

    template <typename T>
    T Get() {
        T value{};
        if (!ok_ || size_ - pos_ < sizeof(T)) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }

    std::wstring String() {
        std::wstring s;
        for (;;) {
            WORD c = Get<WORD>();
            if (!ok_ || c == 0) return s;
            s.push_back(static_cast<wchar_t>(c));
        }
    }

    // A name that is empty (0x0000), an ordinal (0xFFFF, n) or a string.
    void NameOrOrdinal(std::wstring& name, int& ordinal) {
        size_t start = pos_;
        WORD first = Get<WORD>();
        if (!ok_ || first == 0) return;
        if (first == 0xFFFF) {
            ordinal = Get<WORD>();
            return;
        }
        pos_ = start;
        name = String();
    }

    // Items start on a DWORD boundary counted from the start of the template.
    void AlignDword() {
        size_t aligned = (pos_ + 3) & ~size_t{3};
        if (aligned > size_) {
            ok_ = false;
            return;
        }
        pos_ = aligned;
    }

    void Skip(size_t n) {
        if (!ok_ || size_ - pos_ < n) {
            ok_ = false;
            return;
        }
        pos_ += n;
    }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring ClassFromAtom(int atom) {
    switch (atom) {
        case 0x0080: return L"button";
        case 0x0081: return L"edit";
        case 0x0082: return L"static";
        case 0x0083: return L"listbox";
        case 0x0084: return L"scrollbar";
        case 0x0085: return L"combobox";
        default: return L"#" + std::to_wstring(atom);
    }
}

// Parses a DLGTEMPLATEEX block. Returns nothing for an old-style template or
// a block that ends early.
std::optional<DialogTemplate> ParseDialogEx(const BYTE* data, size_t size) {
    Reader r(data, size);
    DialogTemplate t;
    WORD version = r.Get<WORD>();
    WORD signature = r.Get<WORD>();
    if (!r.ok() || version != 1 || signature != 0xFFFF) return std::nullopt;
    t.helpId = r.Get<DWORD>();
    t.exStyle = r.Get<DWORD>();
    t.style = r.Get<DWORD>();
    WORD count = r.Get<WORD>();
    t.x = r.Get<short>();
    t.y = r.Get<short>();
    t.cx = r.Get<short>();
    t.cy = r.Get<short>();
    r.NameOrOrdinal(t.menu, t.menuOrdinal);
    int classOrdinal = -1;
    r.NameOrOrdinal(t.windowClass, classOrdinal);
    t.title = r.String();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Get<WORD>();
        t.weight = r.Get<WORD>();
        t.italic = r.Get<BYTE>();
        t.charset = r.Get<BYTE>();
        t.typeface = r.String();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignDword();
        DialogItem item;
        item.helpId = r.Get<DWORD>();
        item.exStyle = r.Get<DWORD>();
        item.style = r.Get<DWORD>();
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = static_cast<int>(r.Get<DWORD>());
        std::wstring cls;
        int atom = -1;
        r.NameOrOrdinal(cls, atom);
        item.className = atom >= 0 ? ClassFromAtom(atom) : Lower(cls);
        r.NameOrOrdinal(item.text, item.textOrdinal);
        item.creationDataSize = r.Get<WORD>();
        r.Skip(item.creationDataSize);
        t.items.push_back(item);
    }
    if (!r.ok()) return std::nullopt;
    return t;
}

std::optional<DialogTemplate> LoadDialogTemplate(int id) {
    HRSRC res = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!res) return std::nullopt;
    HGLOBAL handle = LoadResource(Module(), res);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) return std::nullopt;
    return ParseDialogEx(static_cast<const BYTE*>(data), SizeofResource(Module(), res));
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
    return s;
}

// --------------------------------------------------- expected templates

struct ExpectedDialog {
    int id;
    short cx, cy;
    const wchar_t* title;
    DWORD styleHas;
    DWORD styleHasNot;
    DWORD exStyleHas;
};

constexpr DWORD kModalPopup = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kAnyFrame = WS_CAPTION | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME;

const ExpectedDialog kDialogs[] = {
    {IDD_ABOUT, 242, 90, L"About Quorvel Photo Manager", kModalPopup, WS_CHILD, 0},
    {IDD_MAIN, 611, 425, L"Qourvel Photo Desktop", kModalPopup | WS_MINIMIZEBOX | DS_CENTER,
     WS_CHILD | WS_MAXIMIZEBOX | WS_THICKFRAME, WS_EX_APPWINDOW},
    {IDD_IMAGE_SIZE, 136, 75, L"Image size", kModalPopup, WS_CHILD, WS_EX_TOOLWINDOW | WS_EX_TOPMOST},
    {IDD_PROGRESS, 68, 10, L"", WS_CHILD | WS_VISIBLE, WS_POPUP | kAnyFrame, WS_EX_TOOLWINDOW},
    {IDD_SCROLL_PREVIEW, 245, 147, L"", WS_CHILD | WS_HSCROLL | WS_VSCROLL, WS_POPUP | kAnyFrame, 0},
    {IDD_REAL_PICT, 0, 0, L"", WS_CHILD, WS_POPUP | kAnyFrame | WS_HSCROLL | WS_VSCROLL, 0},
    {IDD_DEVICE_OUT, 0, 0, L"", WS_CHILD, WS_POPUP | kAnyFrame | WS_HSCROLL | WS_VSCROLL, 0},
    {IDD_PASSWORD, 187, 94, L"Password", kModalPopup, WS_CHILD, 0},
    {IDD_SEND_MAIL, 189, 86, L"Send by mail ", kModalPopup, WS_CHILD, 0},
};

struct ExpectedControl {
    int id;
    const wchar_t* className;
    short x, y, cx, cy;
    const wchar_t* text;  // nullptr: not checked
    DWORD styleHas;
    DWORD styleHasNot;
    DWORD exStyleHas;
};

constexpr DWORD kVisibleChild = WS_CHILD | WS_VISIBLE;

// The toolbar buttons must stay plain push buttons in the template: the image
// button class makes them owner-drawn when it attaches.
const ExpectedControl kMainControls[] = {
    {IDC_CONNECT, L"button", 31, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_DISCONNECT, L"button", 63, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_OPEN_PICTURE, L"button", 95, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_IMAGE_SIZE, L"button", 127, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_SEND_TO_DEVICE, L"button", 159, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_SEND_BY_MAIL, L"button", 191, 2, 32, 31, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_ZOOM_IN, L"button", 203, 104, 17, 16, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_ZOOM_OUT, L"button", 221, 104, 17, 16, L"", kVisibleChild, BS_OWNERDRAW | BS_DEFPUSHBUTTON, 0},
    {IDC_WIDTH, L"edit", 72, 55, 49, 12, nullptr, kVisibleChild | WS_DISABLED, 0, WS_EX_STATICEDGE},
    {IDC_HEIGHT, L"edit", 134, 55, 49, 12, nullptr, kVisibleChild | WS_DISABLED, 0, WS_EX_STATICEDGE},
    {IDC_STATIC, L"static", 25, 55, 40, 8, L"Image size", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 75, 45, 20, 8, L"width", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 137, 45, 22, 8, L"height", kVisibleChild, 0, 0},
    {IDC_PREVIEW_FRAME, L"static", 7, 103, 233, 19, nullptr, kVisibleChild | SS_BLACKFRAME, 0, 0},
    {IDC_PREVIEW_LABEL, L"static", 32, 80, 80, 8, L"Image preview", kVisibleChild, 0, 0},
};

const ExpectedControl kAboutControls[] = {
    {IDC_STATIC, L"static", 15, 23, -1, -1, nullptr, kVisibleChild | SS_ICON, 0, 0},
    {IDOK, L"button", 93, 67, 50, 16, L"OK", kVisibleChild | BS_DEFPUSHBUTTON, 0, 0},
    {IDC_ABOUT_LABEL, L"static", 44, 18, 189, 39, L"", kVisibleChild, 0, 0},
};

const ExpectedControl kImageSizeControls[] = {
    {IDC_SIZE_WIDTH, L"edit", 7, 27, 40, 12, nullptr, kVisibleChild | ES_NUMBER | WS_TABSTOP, 0, 0},
    {IDC_SIZE_HEIGHT, L"edit", 76, 26, 40, 12, nullptr, kVisibleChild | ES_NUMBER | WS_TABSTOP, 0, 0},
    {IDC_STATIC, L"static", 11, 16, 20, 8, L"Width", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 79, 15, 22, 8, L"Height", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 51, 30, 9, 8, L"px", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 120, 30, 9, 8, L"px", kVisibleChild, 0, 0},
    {IDC_SIZE_OK, L"button", 24, 54, 50, 14, L"OK", kVisibleChild | BS_DEFPUSHBUTTON, 0, 0},
    {IDC_SIZE_CANCEL, L"button", 80, 54, 49, 14, L"Cancel", kVisibleChild, BS_DEFPUSHBUTTON, 0},
};

const ExpectedControl kProgressControls[] = {
    {IDC_PROGRESS_BAR, L"msctls_progress32", 0, 0, 68, 10, nullptr, kVisibleChild | PBS_SMOOTH | PBS_VERTICAL, 0,
     0},
    {IDC_PROGRESS_TEXT, L"static", 0, 2, 8, 8, L"Static", WS_CHILD, WS_VISIBLE, 0},
};

const ExpectedControl kPasswordControls[] = {
    {IDOK, L"button", 25, 68, 57, 17, L"OK", kVisibleChild | BS_DEFPUSHBUTTON, 0, 0},
    {IDCANCEL, L"button", 109, 68, 58, 17, L"Cancel", kVisibleChild, BS_DEFPUSHBUTTON, 0},
    {IDC_STATIC, L"static", 7, 7, 175, 20,
     L"The security password on your handheld is enabled. Please enter the security password and press OK",
     kVisibleChild | SS_CENTER, 0, 0},
    {IDC_PASSWORD_EDIT, L"edit", 23, 28, 144, 13, L"",
     kVisibleChild | ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0},
    {IDC_PASSWORD_MESSAGE, L"static", 7, 43, 175, 23, L"You have 10 attempts remaining to enter the correct password",
     kVisibleChild | SS_CENTER, 0, 0},
};

const ExpectedControl kSendMailControls[] = {
    {IDOK, L"button", 29, 65, 50, 14, L"Send", kVisibleChild | BS_DEFPUSHBUTTON, 0, 0},
    {IDCANCEL, L"button", 101, 65, 50, 14, L"Cancel", kVisibleChild, BS_DEFPUSHBUTTON, 0},
    {IDC_STATIC, L"static", 7, 18, 27, 10, L"To:", kVisibleChild, 0, 0},
    {IDC_STATIC, L"static", 7, 41, 23, 12, L"Subj:", kVisibleChild, 0, 0},
    {IDC_MAIL_TO, L"edit", 28, 16, 154, 13, L"", kVisibleChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0},
    {IDC_MAIL_SUBJECT, L"edit", 28, 38, 154, 14, L"", kVisibleChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 0},
};

template <size_t N>
std::vector<ExpectedControl> Controls(const ExpectedControl (&a)[N]) {
    return std::vector<ExpectedControl>(a, a + N);
}

void ExpectControls(int dialogId, const std::vector<ExpectedControl>& expected) {
    SCOPED_TRACE("dialog " + std::to_string(dialogId));
    auto t = LoadDialogTemplate(dialogId);
    ASSERT_TRUE(t.has_value());
    ASSERT_EQ(t->items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& got = t->items[i];
        const ExpectedControl& want = expected[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(Narrow(got.className), Narrow(want.className));
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        if (want.cx >= 0) {
            EXPECT_EQ(got.cx, want.cx);
        }
        if (want.cy >= 0) {
            EXPECT_EQ(got.cy, want.cy);
        }
        if (want.text) {
            EXPECT_EQ(Narrow(got.text), Narrow(want.text));
        }
        EXPECT_EQ(got.style & want.styleHas, want.styleHas) << std::hex << got.style;
        EXPECT_EQ(got.style & want.styleHasNot, 0u) << std::hex << got.style;
        EXPECT_EQ(got.exStyle & want.exStyleHas, want.exStyleHas) << std::hex << got.exStyle;
    }
}

// ----------------------------------------------------------------- tests

TEST(ResourceDialogs, EveryTemplateIsExtendedWithItsSizeTitleStyleAndFont) {
    for (const auto& want : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(want.id));
        auto t = LoadDialogTemplate(want.id);
        ASSERT_TRUE(t.has_value()) << "missing or not a DLGTEMPLATEEX";
        if (want.cx) {
            EXPECT_EQ(t->cx, want.cx);
            EXPECT_EQ(t->cy, want.cy);
        } else {
            EXPECT_GT(t->cx, 0);
            EXPECT_GT(t->cy, 0);
        }
        EXPECT_EQ(Narrow(t->title), Narrow(want.title));
        EXPECT_EQ(t->style & want.styleHas, want.styleHas) << std::hex << t->style;
        EXPECT_EQ(t->style & want.styleHasNot, 0u) << std::hex << t->style;
        EXPECT_EQ(t->exStyle & want.exStyleHas, want.exStyleHas) << std::hex << t->exStyle;
        EXPECT_TRUE(t->style & DS_SETFONT);
        EXPECT_EQ(Narrow(t->typeface), "MS Shell Dlg");
        EXPECT_EQ(t->pointSize, 8);
        // Only the main dialog has a menu bar, and it is menu 163 whether the
        // template names it or the initialisation sets it.
        EXPECT_TRUE(t->menu.empty());
        if (want.id == IDD_MAIN) {
            EXPECT_TRUE(t->menuOrdinal == -1 || t->menuOrdinal == IDR_MAIN_MENU) << t->menuOrdinal;
        } else {
            EXPECT_EQ(t->menuOrdinal, -1);
        }
        EXPECT_TRUE(t->windowClass.empty());
    }
}

TEST(ResourceDialogs, PreviewPanesHaveNoControlsOfTheirOwn) {
    for (int id : {IDD_SCROLL_PREVIEW, IDD_REAL_PICT, IDD_DEVICE_OUT}) {
        auto t = LoadDialogTemplate(id);
        ASSERT_TRUE(t.has_value());
        EXPECT_TRUE(t->items.empty()) << id;
    }
}

TEST(ResourceDialogs, MainDialogControlsSitWhereTheLayoutExpects) {
    ExpectControls(IDD_MAIN, Controls(kMainControls));
}

TEST(ResourceDialogs, SmallDialogsHaveTheirControlsInOrder) {
    ExpectControls(IDD_ABOUT, Controls(kAboutControls));
    ExpectControls(IDD_IMAGE_SIZE, Controls(kImageSizeControls));
    ExpectControls(IDD_PROGRESS, Controls(kProgressControls));
    ExpectControls(IDD_PASSWORD, Controls(kPasswordControls));
    ExpectControls(IDD_SEND_MAIL, Controls(kSendMailControls));
}

TEST(ResourceDialogs, AboutIconIsTheApplicationIcon) {
    auto t = LoadDialogTemplate(IDD_ABOUT);
    ASSERT_TRUE(t.has_value());
    ASSERT_FALSE(t->items.empty());
    EXPECT_EQ(t->items[0].textOrdinal, IDI_APP);
}

INT_PTR CALLBACK NullDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The templates must also make real windows: a misspelt class name or a
// missing icon for the About box's icon control makes creation fail.
TEST(ResourceDialogs, EveryTemplateCreatesItsWindowAndControls) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));

    HWND main = CreateDialogParamW(Module(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, NullDialogProc, 0);
    ASSERT_NE(main, nullptr);
    for (int id : {IDC_CONNECT, IDC_DISCONNECT, IDC_OPEN_PICTURE, IDC_IMAGE_SIZE, IDC_SEND_TO_DEVICE,
                   IDC_SEND_BY_MAIL, IDC_ZOOM_IN, IDC_ZOOM_OUT, IDC_WIDTH, IDC_HEIGHT, IDC_PREVIEW_FRAME,
                   IDC_PREVIEW_LABEL}) {
        EXPECT_NE(GetDlgItem(main, id), nullptr) << id;
    }
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_WIDTH)));

    for (int id : {IDD_PROGRESS, IDD_SCROLL_PREVIEW, IDD_REAL_PICT, IDD_DEVICE_OUT}) {
        HWND child = CreateDialogParamW(Module(), MAKEINTRESOURCEW(id), main, NullDialogProc, 0);
        EXPECT_NE(child, nullptr) << id;
        if (child) {
            EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_CHILD) << id;
        }
    }

    for (int id : {IDD_ABOUT, IDD_IMAGE_SIZE, IDD_PASSWORD, IDD_SEND_MAIL}) {
        HWND popup = CreateDialogParamW(Module(), MAKEINTRESOURCEW(id), main, NullDialogProc, 0);
        EXPECT_NE(popup, nullptr) << id;
        if (popup) DestroyWindow(popup);
    }
    DestroyWindow(main);  // takes the child panes with it
}

TEST(ResourceMenu, MenuBarHasOnePopupWithAboutSeparatorExit) {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(text), "About..");

    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_EQ(GetMenuItemID(popup, 0), static_cast<UINT>(IDM_ABOUT));
    EXPECT_TRUE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(GetMenuItemID(popup, 2), static_cast<UINT>(IDM_EXIT));
    GetMenuStringW(popup, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(text), "About");
    GetMenuStringW(popup, 2, text, 64, MF_BYPOSITION);
    EXPECT_EQ(Narrow(text), "Exit");
    DestroyMenu(menu);
}

const int kIcons[] = {
    IDI_APP,
    IDI_IMAGE_SIZE,       IDI_IMAGE_SIZE_DISABLED,
    IDI_SEND_TO_DEVICE,   IDI_SEND_TO_DEVICE_DISABLED,
    IDI_OPEN_PICTURE,     IDI_OPEN_PICTURE_DISABLED,
    IDI_ZOOM_IN,          IDI_ZOOM_IN_DISABLED,
    IDI_ZOOM_OUT,         IDI_ZOOM_OUT_DISABLED,
    IDI_CONNECT,          IDI_CONNECT_DISABLED,
    IDI_DISCONNECT,       IDI_DISCONNECT_DISABLED,
    IDI_SEND_BY_MAIL,     IDI_SEND_BY_MAIL_DISABLED,
};

SIZE IconSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return size;
    BITMAP bm{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
        size = {bm.bmWidth, bm.bmHeight};
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof(bm), &bm)) {
        size = {bm.bmWidth, bm.bmHeight / 2};  // monochrome: mask over image
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return size;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The sizes drawn into the icon group itself (0 in the directory means 256).
std::vector<int> GroupIconSizes(int id) {
    std::vector<int> sizes;
    HRSRC res = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    if (!res) return sizes;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), res)));
    DWORD size = SizeofResource(Module(), res);
    if (!data || size < 6) return sizes;
    WORD count;
    std::memcpy(&count, data + 4, 2);
    for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(GroupIconEntry) <= size; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, data + 6 + i * sizeof(GroupIconEntry), sizeof(e));
        if (e.width == e.height) sizes.push_back(e.width ? e.width : 256);
    }
    return sizes;
}

TEST(ResourceIcons, EveryIconHasItsOwn32And16PixelImages) {
    for (int id : kIcons) {
        SCOPED_TRACE("icon " + std::to_string(id));
        std::vector<int> sizes = GroupIconSizes(id);
        ASSERT_FALSE(sizes.empty()) << "no icon group";
        for (int px : {32, 16}) {
            EXPECT_NE(std::find(sizes.begin(), sizes.end(), px), sizes.end())
                << "no own " << px << " x " << px << " image";
        }
        for (int px : {32, 16}) {
            HICON icon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, px, px, 0));
            ASSERT_NE(icon, nullptr) << px;
            SIZE s = IconSize(icon);
            EXPECT_EQ(s.cx, px);
            EXPECT_EQ(s.cy, px);
            DestroyIcon(icon);
        }
        // The image buttons load icons at their default size and centre them
        // by the hot spot, so that default must be 32 x 32 too.
        HICON icon = LoadIconW(Module(), MAKEINTRESOURCEW(id));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        EXPECT_EQ(info.xHotspot, 16u);
        EXPECT_EQ(info.yHotspot, 16u);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
}

struct DibPixels {
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<BYTE> bits;
};

DibPixels LoadDib(int id) {
    DibPixels out;
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bmp) return out;
    DIBSECTION ds{};
    if (GetObjectW(bmp, sizeof(ds), &ds) == sizeof(ds)) {
        out.width = ds.dsBm.bmWidth;
        out.height = ds.dsBm.bmHeight;
        out.bitsPerPixel = ds.dsBm.bmBitsPixel;
        const BYTE* p = static_cast<const BYTE*>(ds.dsBm.bmBits);
        if (p) out.bits.assign(p, p + static_cast<size_t>(ds.dsBm.bmWidthBytes) * ds.dsBm.bmHeight);
    }
    DeleteObject(bmp);
    return out;
}

TEST(ResourceBitmaps, HandheldPicturesAre324By270At24Bits) {
    DibPixels connected = LoadDib(IDB_HANDHELD_CONNECTED);
    DibPixels disconnected = LoadDib(IDB_HANDHELD_DISCONNECTED);
    for (const DibPixels* d : {&connected, &disconnected}) {
        EXPECT_EQ(d->width, 324);
        EXPECT_EQ(d->height, 270);
        EXPECT_EQ(d->bitsPerPixel, 24);
        EXPECT_FALSE(d->bits.empty());
    }
    // The two looks tell the user whether the handheld is connected.
    EXPECT_NE(connected.bits, disconnected.bits);
}

TEST(ResourceCursor, DragCursorLoads) {
    HCURSOR cursor = LoadCursorW(Module(), MAKEINTRESOURCEW(IDCUR_DRAG));
    EXPECT_NE(cursor, nullptr);
    HANDLE image = LoadImageW(Module(), MAKEINTRESOURCEW(IDCUR_DRAG), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE);
    ASSERT_NE(image, nullptr);
    DestroyCursor(static_cast<HCURSOR>(image));
}

std::string ResourceBytes(int id, int type) {
    HRSRC res = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (!res) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(Module(), res)));
    return data ? std::string(data, SizeofResource(Module(), res)) : std::string();
}

TEST(ResourceManifest, AsksForCommonControls6AsInvoker) {
    std::string manifest = ResourceBytes(1, 24 /* RT_MANIFEST */);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    // Dialog units and the pixel layout are worked out for an unscaled window.
    EXPECT_EQ(manifest.find("<dpiAware>true"), std::string::npos);
}

TEST(ResourceVersion, FixedInfoAndProductName) {
    std::string block = ResourceBytes(1, 16 /* RT_VERSION */);
    ASSERT_FALSE(block.empty());
    const DWORD signature = 0xFEEF04BD;
    size_t at = block.find(std::string(reinterpret_cast<const char*>(&signature), 4));
    ASSERT_NE(at, std::string::npos);
    ASSERT_LE(at + sizeof(VS_FIXEDFILEINFO), block.size());
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, block.data() + at, sizeof(info));
    EXPECT_EQ(info.dwFileVersionMS, 0x00010005u);
    EXPECT_EQ(info.dwFileVersionLS, 0x00010000u);
    EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_APP));

    std::wstring product = L"Quorvel Photo Manager";
    std::string productBytes(reinterpret_cast<const char*>(product.c_str()), product.size() * sizeof(wchar_t));
    EXPECT_NE(block.find(productBytes), std::string::npos);
}

}  // namespace
