// The log switch on the command lines a user can start the program with,
// the bytes of a text entry, "%i" formatting and the program folder paths.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/LogFormat.h"

namespace quorvel {
namespace {

TEST(IsLoggingOn, LastWordOfTheCommandLine) {
    struct Case {
        std::string commandLine;
        bool on;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Quorvel\\Quorvel.exe\"", false},     // no argument
        {"\"C:\\Program Files\\Quorvel\\Quorvel.exe\" log", true},  // quoted path, then log
        {"C:\\Quorvel\\Quorvel.exe log", true},
        {"Quorvel.exe log", true},
        {"log", true},                                              // no space at all
        {"Quorvel.exe \"log\"", true},                              // quotes vanish anywhere
        {"Quorvel.exe lo\"g\"", true},
        {"Quorvel.exe log other", false},                           // log, then another word
        {"Quorvel.exe Log", false},
        {"Quorvel.exe LOG", false},
        {"Quorvel.exe log ", false},                                // trailing space
        {"Quorvel.exe /log", false},
        {"Quorvel.exe -log", false},
        {"Quorvel.exe\tlog", false},                                // only spaces separate
        {"Quorvel.exe logs", false},
        {"Quorvel.exe xlog", false},
        {"", false},
        // no argument, but the program's own path ends in " log"
        {"\"C:\\odd folder\\my log\"", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsLoggingOn(c.commandLine), c.on) << c.commandLine;
}

TEST(LogTextEntry, TextThenCrLfThenZero) {
    const std::string empty = LogTextEntry("");
    ASSERT_EQ(empty.size(), 3u);
    EXPECT_EQ(empty, std::string("\r\n\0", 3));

    const std::string line = LogTextEntry("fail connect");
    EXPECT_EQ(line.size(), std::string("fail connect").size() + 3);
    EXPECT_EQ(line, std::string("fail connect\r\n\0", 15));

    const std::string numero = LogTextEntry(std::string("block_img struct ") + static_cast<char>(0xB9) + "0 ====> ");
    EXPECT_EQ(static_cast<unsigned char>(numero[17]), 0xB9u);
    EXPECT_EQ(numero.back(), '\0');
}

TEST(FormatInt, PrintsLikePercentI) {
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(240), "240");
    EXPECT_EQ(FormatInt(-7), "-7");
    EXPECT_EQ(FormatInt(64000), "64000");
    EXPECT_EQ(FormatInt(INT_MAX), "2147483647");
    EXPECT_EQ(FormatInt(INT_MIN), "-2147483648");
}

TEST(ProgramFolder, CutBeforeTheLastBackslash) {
    EXPECT_EQ(ProgramFolderFromModulePath("C:\\Program Files\\Quorvel\\Quorvel.exe"), "C:\\Program Files\\Quorvel");
    EXPECT_EQ(ProgramFolderFromModulePath("C:\\Quorvel.exe"), "C:");
    EXPECT_EQ(ProgramFolderFromModulePath("Quorvel.exe"), ".");
    EXPECT_EQ(ProgramFilePath("C:\\Quorvel", kLogFileName), "C:\\Quorvel\\log.txt");
    EXPECT_EQ(ProgramFilePath("C:\\Quorvel", "Sent Pictures"), "C:\\Quorvel\\Sent Pictures");
}

TEST(ProgramFolder, WideFormsKeepEveryCharacter) {
    EXPECT_EQ(ProgramFolderFromModulePath(std::wstring(L"D:\\\u5199\u771f\\\u0424\\Quorvel.exe")),
              L"D:\\\u5199\u771f\\\u0424");
    EXPECT_EQ(ProgramFolderFromModulePath(std::wstring(L"D:\\Quorvel.exe")), L"D:");
    EXPECT_EQ(ProgramFolderFromModulePath(std::wstring(L"\u5199.exe")), L".");
    EXPECT_EQ(ProgramFilePath(std::wstring(L"D:\\\u5199"), std::wstring(L"Sent Pictures")),
              L"D:\\\u5199\\Sent Pictures");
}

}  // namespace
}  // namespace quorvel
