// The program folder's files: the "Sent Pictures" folder and "email.dat".
// Both live beside the executable, so this test copies itself into a fresh
// temporary folder and runs there: the copy starts with an empty program
// folder, as on a first run, and the build folder is never written to.
#include "toolkit/Win.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "app/Log.h"
#include "app/ProgramFiles.h"
#include "toolkit/Text.h"

namespace {

const char kRelocatedVariable[] = "QUORVEL_PROGRAM_FILES_TEST_COPY";

std::wstring Folder() { return GetProgramFolderW(0); }
std::wstring MailFile() { return Folder() + L"\\email.dat"; }
std::wstring SentFolder() { return Folder() + L"\\Sent Pictures"; }
std::wstring LogFile() { return Folder() + L"\\log.txt"; }

bool IsDirectory(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!bytes.empty()) ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::string ReadBytes(const std::wstring& path) {
    std::string out;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    ::CloseHandle(f);
    return out;
}

void RemoveTree(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryW(path.c_str());
}

class ProgramFiles : public ::testing::Test {
protected:
    // Every case starts from the first-run state.
    void SetUp() override {
        RemoveTree(MailFile());
        RemoveTree(SentFolder());
        RemoveTree(LogFile());
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ProgramFiles, FirstRunMakesTheSentPicturesFolderAndHasNoAddress) {
    EXPECT_FALSE(Exists(SentFolder()));
    EXPECT_EQ(CreateSentPicturesFolder(), SentFolder());
    EXPECT_TRUE(IsDirectory(SentFolder()));
    EXPECT_FALSE(Exists(MailFile()));
    EXPECT_EQ(LoadMailAddress(), "");
    EXPECT_FALSE(Exists(MailFile()));  // reading creates nothing
}

TEST_F(ProgramFiles, TheLogIsWrittenInTheProgramFolder) {
    // The copy runs with "log" as the last word of its command line.
    WriteLogLine("first");
    WriteLogLine("second");
    EXPECT_EQ(ReadBytes(LogFile()), std::string("first\r\n\0second\r\n\0", 17));
}

TEST_F(ProgramFiles, AnExistingSentPicturesFolderIsLeftAsItIs) {
    ASSERT_TRUE(::CreateDirectoryW(SentFolder().c_str(), nullptr));
    WriteBytes(SentFolder() + L"\\earlier.jpg", "earlier picture");
    EXPECT_EQ(CreateSentPicturesFolder(), SentFolder());
    EXPECT_EQ(ReadBytes(SentFolder() + L"\\earlier.jpg"), "earlier picture");
}

TEST_F(ProgramFiles, AFileInTheFolderSPlaceIsNotReported) {
    WriteBytes(SentFolder(), "a file, not a folder");
    EXPECT_EQ(CreateSentPicturesFolder(), SentFolder());  // no message, the path all the same
    EXPECT_EQ(ReadBytes(SentFolder()), "a file, not a folder");
}

TEST_F(ProgramFiles, SavedAddressIsExactlyTheTypedCharacters) {
    SaveMailAddress("   me@hand.held");
    EXPECT_EQ(ReadBytes(MailFile()), "   me@hand.held");  // no line end, no zero
    EXPECT_EQ(LoadMailAddress(), "me@hand.held");         // leading blanks are not read back

    SaveMailAddress("a@b");  // the whole file is replaced
    EXPECT_EQ(ReadBytes(MailFile()), "a@b");
    SaveMailAddress("with blank@x.y");
    EXPECT_EQ(LoadMailAddress(), "with");
    SaveMailAddress("");
    EXPECT_TRUE(Exists(MailFile()));
    EXPECT_EQ(ReadBytes(MailFile()), "");
    EXPECT_EQ(LoadMailAddress(), "");
}

TEST_F(ProgramFiles, HandEditedFilesGiveTheirFirstWord) {
    struct Case {
        std::string content;
        std::string address;
    };
    const Case cases[] = {
        {"first@line.one\r\nsecond@line.two\r\n", "first@line.one"},
        {"\r\n\t  spaced@out  tail", "spaced@out"},
        {" \r\n \t ", ""},
        {"", ""},
        {std::string(100000, ' ') + "far@away", "far@away"},  // blanks beyond any buffer
        {std::string(600, 'w') + " rest", std::string(499, 'w')},
        {std::string("zero@x\0hidden", 13), "zero@x"},
    };
    for (const Case& c : cases) {
        WriteBytes(MailFile(), c.content);
        EXPECT_EQ(LoadMailAddress(), c.address) << c.content.substr(0, 40);
    }
}

TEST_F(ProgramFiles, UnwritableAddressFileIsSkippedSilently) {
    // A folder named email.dat can be neither read nor written as a file.
    ASSERT_TRUE(::CreateDirectoryW(MailFile().c_str(), nullptr));
    SaveMailAddress("lost@address");
    EXPECT_TRUE(IsDirectory(MailFile()));
    EXPECT_EQ(LoadMailAddress(), "");
    ::RemoveDirectoryW(MailFile().c_str());

    // A hidden file is rewritten like any other.
    WriteBytes(MailFile(), "old@address");
    ASSERT_TRUE(::SetFileAttributesW(MailFile().c_str(), FILE_ATTRIBUTE_HIDDEN));
    SaveMailAddress("new@address");
    EXPECT_EQ(LoadMailAddress(), "new@address");
}

TEST_F(ProgramFiles, AddressFileOpenElsewhereIsStillReplaced) {
    // Another program has "email.dat" open for reading (and lets others read
    // and write it): the confirmed address still replaces the file.
    WriteBytes(MailFile(), "old@address.example");
    HANDLE reader = ::CreateFileW(MailFile().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    SaveMailAddress("new@address");
    EXPECT_EQ(LoadMailAddress(), "new@address");
    ::CloseHandle(reader);
    EXPECT_EQ(ReadBytes(MailFile()), "new@address");  // truncated, not overlaid
}

TEST_F(ProgramFiles, ReadOnlyAddressFileKeepsTheOldAddress) {
    WriteBytes(MailFile(), "old@address");
    ASSERT_TRUE(::SetFileAttributesW(MailFile().c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE probe = ::CreateFileW(MailFile().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        ::SetFileAttributesW(MailFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "read-only files are writable here (Wine run as root)";
    }
    SaveMailAddress("new@address");
    EXPECT_EQ(LoadMailAddress(), "old@address");
    ::SetFileAttributesW(MailFile().c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Runs the tests in a copy of this executable in a fresh folder.
int RunRelocated() {
    // The folder's name holds characters no ANSI code page has all of, so
    // every file of the program folder must be reached by its UTF-16 path.
    wchar_t tmp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    const std::wstring folder = std::wstring(tmp) + L"quorvel_\u5199\u771f_\u0424\u043e\u0442\u043e_" +
                                std::to_wstring(::GetCurrentProcessId());
    RemoveTree(folder);
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return 2;
    const std::wstring copy = folder + L"\\program_files_test.exe";
    if (!::CopyFileW(GetProgramFolderW(1).c_str(), copy.c_str(), FALSE)) return 2;

    // The same arguments, behind the copy's path.
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::wstring line = L"\"" + copy + L"\"";
    for (int i = 1; argv && i < argc; ++i) line += std::wstring(L" \"") + argv[i] + L"\"";
    if (argv) ::LocalFree(argv);
    line += L" log";

    ::SetEnvironmentVariableA(kRelocatedVariable, "1");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    DWORD code = 2;
    if (::CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::GetExitCodeProcess(pi.hProcess, &code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    RemoveTree(folder);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    if (!::GetEnvironmentVariableA(kRelocatedVariable, nullptr, 0)) return RunRelocated();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
