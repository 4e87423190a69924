// The picture a command line names (quoted paths, the log switch, the
// runtime's backslash and quote rules), the keyboard shortcuts, and the
// path a second start hands over.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "app/ShortcutKeys.h"
#include "app/StartArguments.h"

namespace quorvel {
namespace {

TEST(PictureFromCommandLine, FirstArgumentThatIsNotTheLogSwitch) {
    struct Case {
        std::string commandLine;
        std::string picture;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Q\\Q.exe\"", ""},
        {"\"C:\\Program Files\\Q\\Q.exe\" log", ""},
        {"Q.exe C:\\pics\\a.jpg", "C:\\pics\\a.jpg"},
        {"\"C:\\a b\\Q.exe\" \"C:\\My Pictures\\beach day.jpg\"", "C:\\My Pictures\\beach day.jpg"},
        {"Q.exe \"C:\\My Pictures\\beach day.jpg\" log", "C:\\My Pictures\\beach day.jpg"},
        {"Q.exe log C:\\a.jpg", "log"},  // log not last: not the switch
        {"Q.exe a.jpg b.jpg", "a.jpg"},
        {"Q.exe   \t a.jpg  ", "a.jpg"},
        {"Q.exe \"\" a.jpg", "a.jpg"},    // an empty argument names nothing
        {"Q.exe \"C:\\pics\\my log\"", "C:\\pics\\my log"},
        {"Q.exe C:\\pics\\x\" y\".jpg", "C:\\pics\\x y.jpg"},
        {"Q.exe \"C:\\pics\\\\\"", "C:\\pics\\"},              // 2n backslashes, quote groups
        {"Q.exe a\\\\\\\"b", "a\\\"b"},                        // 2n+1: literal quote
        {"Q.exe \"say \"\"hi\"\"\"", "say \"hi\""},
        {"Q.exe \"C:\\unclosed path", "C:\\unclosed path"},
        {"\"C:\\x\"y.exe pic.png", "pic.png"},                 // program path: quotes only at its start
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PictureFromCommandLine(c.commandLine), c.picture) << c.commandLine;
    EXPECT_EQ(SplitCommandLine("\"C:\\x\"y.exe pic.png")[0], "C:\\xy.exe");
}

TEST(MainWindowKeyCommand, KeysAndModifiers) {
    using C = MainKeyCommand;
    struct Case {
        unsigned key;
        bool ctrl, alt;
        C command;
    };
    const Case cases[] = {
        {vk::kO, true, false, C::Open},       {vk::kO, false, false, C::None},
        {vk::kO, true, true, C::None},        {vk::kAdd, false, false, C::ZoomIn},
        {vk::kOemPlus, false, false, C::ZoomIn}, {vk::kSubtract, false, false, C::ZoomOut},
        {vk::kOemMinus, false, false, C::ZoomOut}, {vk::kAdd, true, false, C::None},
        {vk::kLeft, false, false, C::PanLeft}, {vk::kRight, false, false, C::PanRight},
        {vk::kUp, false, false, C::PanUp},     {vk::kDown, false, false, C::PanDown},
        {vk::kDown, false, true, C::None},     {0x0D, false, false, C::None},  // Enter
        {0x1B, false, false, C::None},                                        // Escape
    };
    for (const Case& c : cases)
        EXPECT_EQ(MainWindowKeyCommand(c.key, c.ctrl, c.alt), c.command) << c.key << " " << c.ctrl << c.alt;
}

TEST(PathFromCopyData, BytesUpToTheFirstZero) {
    EXPECT_EQ(PathFromCopyData("C:\\a.jpg", 8), "C:\\a.jpg");
    EXPECT_EQ(PathFromCopyData("C:\\a.jpg\0junk", 13), "C:\\a.jpg");
    EXPECT_EQ(PathFromCopyData(nullptr, 5), "");
    EXPECT_EQ(PathFromCopyData("x", 0), "");
    const std::string huge(kMaxHandedPath + 1, 'a');
    EXPECT_EQ(PathFromCopyData(huge.data(), huge.size()), "");
    EXPECT_EQ(PathFromCopyData(huge.data(), kMaxHandedPath).size(), kMaxHandedPath);
}

TEST(IsHandablePath, FilesOnDrivesAndSharesOnly) {
    const struct {
        const wchar_t* path;
        bool handable;
    } cases[] = {
        {L"C:\\My Pictures\\beach.jpg", true},
        {L"z:/photos/a.b.png", true},
        {L"\\\\server\\share\\beach.jpg", true},
        {L"C:\\console.jpg", true},        // a longer name is no device
        {L"C:\\COM0.jpg", true},
        {L"\\\\.\\pipe\\quorvel", false},  // device namespace
        {L"//./C:/beach.jpg", false},
        {L"\\\\?\\C:\\beach.jpg", false},  // raw namespace
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\a.jpg", false},
        {L"\\??\\C:\\beach.jpg", false},
        {L"\\\\server\\PIPE\\name", false},
        {L"\\\\server\\mailslot\\name", false},
        {L"\\\\server\\share", false},       // a share, no file
        {L"C:\\a.jpg:stream", false},
        {L"C:\\dir\\NUL", false},
        {L"C:\\nul.jpg", false},
        {L"C:\\pictures\\com7.png", false},
        {L"C:\\lpt1", false},
        {L"C:\\conout$", false},
        {L"C:\\nul.", false},              // the trailing dot is stripped
        {L"C:\\a\\..\\b.jpg", false},
        {L"C:\\a\\\\b.jpg", false},
        {L"C:\\dir\\", false},
        {L"C:\\a?.jpg", false},
        {L"C:\\a\tb.jpg", false},
        {L"C:beach.jpg", false},           // relative to the drive's folder
        {L"\\beach.jpg", false},
        {L"beach.jpg", false},
        {L"1:\\beach.jpg", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHandablePath(c.path), c.handable) << std::string(c.path, c.path + std::wcslen(c.path));
    EXPECT_FALSE(IsHandablePath(L"C:\\" + std::wstring(kMaxHandedPath, L'a')));
}

}  // namespace
}  // namespace quorvel
