// The bytes of the diagnostic log "log.txt". The log is on only when the
// process's command line ends in the word log, and it lives beside the
// executable, so every case copies this test into a fresh folder, starts the
// copy with a child action and a chosen command line, and reads the log.txt
// that the copy wrote (or did not write) beside itself.
//
// Child actions (argv[1] == "--child"):
//   lines       a few text entries and a 264-byte raw entry
//   folder      the program folder and path as two entries
//   handshake   one Connect against the simulated handheld
//   concurrent  two threads writing text and raw entries at the same time
// The word after the action and the rest of the command line are what the
// case is about; the child ignores them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/Log.h"
#include "device/Connection.h"
#include "device/UsbChannel.h"
#include "tests/win/SimHarness.h"

namespace {

using simharness::FileExists;
using simharness::ReadWholeFile;

// ------------------------------------------------------------- the child

const int kConcurrentEntries = 300;

std::string Entry(const std::string& line) { return line + std::string("\r\n\0", 3); }

std::string Raw264() {
    std::string bytes(264, '\0');
    for (int i = 0; i < 264; ++i) bytes[i] = static_cast<char>(i * 7 + 3);  // zeros, CRs and LFs among them
    return bytes;
}

std::string LinesChildBytes() {
    return Entry("") + Entry("init_img struct all bytes:") + Raw264() + Entry("after") +
           Entry(std::string("block_img struct ") + static_cast<char>(0xB9) + "0 ====> ");
}

void ChildLines() {
    WriteLogLine("");
    std::string line = "init_img struct all bytes:";
    WriteLogLine(line);
    const std::string raw = Raw264();
    WriteLogBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
    WriteLogLine("after");
    WriteLogLine(std::string("block_img struct ") + static_cast<char>(0xB9) + "0 ====> ");
    // Nothing happens for a negative count.
    WriteLogBytes(raw.data(), -1);
    WriteLogBytes(nullptr, 0);
}

void ChildFolder() {
    WriteLogLine(GetProgramFolder(0));
    WriteLogLine(GetProgramFolder(1));
}

class QuietWindow : public MainWindowLink {
public:
    void SetConnectionButtons(bool) override {}
    void EnableButton(int, bool) override {}
    void SetStatusText(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
    void SetScreenSize(int, int) override {}
    void ShowConnectedPreview() override {}
};

int ChildHandshake() {
    UsbChannel channel;
    QuietWindow window;
    const bool ok = Handshake(channel, window);
    DisconnectLink(channel, window);
    channel.WaitForWorkerEnd();
    return ok ? 0 : 10;
}

// A text entry of 'A's or 'B's with a length that varies, and raw entries
// of 1006 'R' or 'S' bytes, so the reader can tell every entry apart.
void ChildConcurrent() {
    auto writer = [](char text, char raw) {
        const std::string block(1006, raw);
        for (int i = 0; i < kConcurrentEntries; ++i) {
            WriteLogLine(std::string(static_cast<size_t>(50 + (i * 37) % 400), text));
            if (i % 3 == 0) WriteLogBytes(block.data(), static_cast<std::int32_t>(block.size()));
        }
    };
    std::thread a(writer, 'A', 'R');
    std::thread b(writer, 'B', 'S');
    a.join();
    b.join();
}

int RunChild(const std::string& action) {
    if (action == "lines") ChildLines();
    else if (action == "folder") ChildFolder();
    else if (action == "handshake") return ChildHandshake();
    else if (action == "concurrent") ChildConcurrent();
    else return 2;
    return 0;
}

// ------------------------------------------------------------ the parent

// One case's folder with a copy of this test in it; log.txt starts absent.
class CopiedProgram {
public:
    explicit CopiedProgram(const std::string& folderName) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = simharness::MakeScratchFolder("qlog", info->name()) + "\\" + folderName;
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        m_exe = m_folder + "\\log_test.exe";
        ::DeleteFileA(LogPath().c_str());
        m_copied = ::CopyFileA(simharness::ExePath().c_str(), m_exe.c_str(), FALSE) != 0;
    }
    // The copy is large; the small files stay for a look after a failure.
    ~CopiedProgram() { ::DeleteFileA(m_exe.c_str()); }
    CopiedProgram(const CopiedProgram&) = delete;
    CopiedProgram& operator=(const CopiedProgram&) = delete;

    bool Copied() const { return m_copied; }
    const std::string& Folder() const { return m_folder; }
    const std::string& Exe() const { return m_exe; }
    std::string LogPath() const { return m_folder + "\\log.txt"; }

    // Starts the copy with exactly this command line; returns its exit code
    // (or -1 when it could not be started or did not end in time).
    int Run(const std::string& commandLine) const {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        // Wine now and then refuses a start of the copy just after its last
        // run ended; a refusal that lasts five seconds is a failure.
        BOOL started = FALSE;
        DWORD error = 0;
        for (int attempt = 0; attempt < 50 && !started; ++attempt) {
            if (attempt > 0) ::Sleep(100);
            started = ::CreateProcessA(m_exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                       m_folder.c_str(), &si, &pi);
            if (!started) error = ::GetLastError();
        }
        if (!started) {
            std::fprintf(stderr, "%s could not be started: error %lu\n", m_exe.c_str(),
                         static_cast<unsigned long>(error));
            return -1;
        }
        if (error != 0)
            std::fprintf(stderr, "%s started after a refusal (error %lu)\n", m_exe.c_str(),
                         static_cast<unsigned long>(error));
        ::CloseHandle(pi.hThread);
        DWORD code = static_cast<DWORD>(-1);
        if (::WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
        else ::TerminateProcess(pi.hProcess, 99);
        ::CloseHandle(pi.hProcess);
        return static_cast<int>(code);
    }
    std::string Quoted() const { return "\"" + m_exe + "\""; }

private:
    std::string m_folder;
    std::string m_exe;
    bool m_copied = false;
};

// Shows the bytes of a log readably when a comparison fails.
std::string Visible(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == 0) out += "\\0";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            wsprintfA(hex, "\\x%02X", c);
            out += hex;
        } else out += static_cast<char>(c);
    }
    return out;
}

TEST(LogSwitch, OnlyTheLastWordLogSwitchesTheLogOn) {
    struct Case {
        const char* arguments;  // behind the program path and the child action
        bool on;
    };
    const Case cases[] = {
        {"", false},                 // started without the word
        {" log", true},
        {" \"log\"", true},          // the quotes vanish
        {" log other", false},       // the word, then another one
        {" Log", false},
        {" LOG", false},
        {" /log", false},
        {" -log", false},
        {" log ", false},            // a trailing space leaves an empty last word
        {" logs", false},
        {" catalog", false},
    };
    for (const Case& c : cases) {
        CopiedProgram program("switch");
        ASSERT_TRUE(program.Copied());
        const std::string commandLine = program.Quoted() + " --child lines" + c.arguments;
        ASSERT_EQ(program.Run(commandLine), 0) << commandLine;
        if (c.on) {
            EXPECT_EQ(Visible(ReadWholeFile(program.LogPath())), Visible(LinesChildBytes())) << commandLine;
        } else {
            EXPECT_FALSE(FileExists(program.LogPath())) << commandLine << ": no file is created or touched";
        }
    }
}

TEST(LogSwitch, ProgramPathQuotedOrNotAndWithSpaces) {
    // A folder with spaces, the path quoted as the shell does it.
    CopiedProgram spaced("with some spaces");
    ASSERT_TRUE(spaced.Copied());
    ASSERT_EQ(spaced.Run(spaced.Quoted() + " --child lines log"), 0);
    EXPECT_EQ(Visible(ReadWholeFile(spaced.LogPath())), Visible(LinesChildBytes()));

    // The same folder without the word: the last piece of the path is
    // "log_test.exe" and the log stays off.
    CopiedProgram spacedOff("with some spaces");
    ASSERT_TRUE(spacedOff.Copied());
    ASSERT_EQ(spacedOff.Run(spacedOff.Quoted() + " --child lines"), 0);
    EXPECT_FALSE(FileExists(spacedOff.LogPath()));

    // A plain path without quotes.
    CopiedProgram plain("plain");
    ASSERT_TRUE(plain.Copied());
    ASSERT_EQ(plain.Run(plain.Exe() + " --child lines log"), 0);
    EXPECT_EQ(Visible(ReadWholeFile(plain.LogPath())), Visible(LinesChildBytes()));
}

TEST(LogFile, CreatedBesideTheProgramThenAppendedAcrossRuns) {
    CopiedProgram program("grows");
    ASSERT_TRUE(program.Copied());
    ASSERT_EQ(program.Run(program.Quoted() + " --child lines log"), 0);
    const std::string once = ReadWholeFile(program.LogPath());
    EXPECT_EQ(Visible(once), Visible(LinesChildBytes()));
    // Every text entry ends in 0D 0A 00; the first one, an empty line, is just those.
    ASSERT_GE(once.size(), 3u);
    EXPECT_EQ(once.substr(0, 3), std::string("\r\n\0", 3));

    // A second run keeps the first run's entries and appends its own.
    ASSERT_EQ(program.Run(program.Quoted() + " --child lines log"), 0);
    EXPECT_EQ(Visible(ReadWholeFile(program.LogPath())), Visible(LinesChildBytes() + LinesChildBytes()));

    // A run without the word leaves the file as it is.
    ASSERT_EQ(program.Run(program.Quoted() + " --child lines"), 0);
    EXPECT_EQ(ReadWholeFile(program.LogPath()).size(), 2 * LinesChildBytes().size());
}

TEST(LogFile, RawEntryAddsExactlyItsBytes) {
    CopiedProgram program("raw");
    ASSERT_TRUE(program.Copied());
    ASSERT_EQ(program.Run(program.Quoted() + " --child lines log"), 0);
    const std::string log = ReadWholeFile(program.LogPath());
    const std::string announce = Entry("") + Entry("init_img struct all bytes:");
    ASSERT_GE(log.size(), announce.size() + 264);
    EXPECT_EQ(log.substr(announce.size(), 264), Raw264()) << "264 bytes as they are";
    EXPECT_EQ(Visible(log.substr(announce.size() + 264, 8)), Visible(Entry("after")))
        << "the next entry follows directly";
    // The whole file: the text entries (n + 3 bytes each) plus exactly 264.
    EXPECT_EQ(log.size(), 3u + (26 + 3) + 264 + (5 + 3) + (26 + 3));
}

TEST(LogFile, ProgramFolderIsTheExecutablesFolder) {
    CopiedProgram program("folder");
    ASSERT_TRUE(program.Copied());
    ASSERT_EQ(program.Run(program.Quoted() + " --child folder log"), 0);
    EXPECT_EQ(Visible(ReadWholeFile(program.LogPath())), Visible(Entry(program.Folder()) + Entry(program.Exe())));
}

TEST(LogFile, UnusableLogLeavesTheProgramUndisturbed) {
    // A folder named log.txt can be neither opened nor created as a file.
    CopiedProgram program("blocked");
    ASSERT_TRUE(program.Copied());
    ASSERT_TRUE(::CreateDirectoryA(program.LogPath().c_str(), nullptr));
    EXPECT_EQ(program.Run(program.Quoted() + " --child lines log"), 0);
    EXPECT_NE(::GetFileAttributesA(program.LogPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    ::RemoveDirectoryA(program.LogPath().c_str());
}

TEST(LogFile, TwoThreadsWritingAtOnceProduceWholeEntries) {
    CopiedProgram program("concurrent");
    ASSERT_TRUE(program.Copied());
    ASSERT_EQ(program.Run(program.Quoted() + " --child concurrent log"), 0);
    const std::string log = ReadWholeFile(program.LogPath());

    // Walk the file entry by entry; every entry must be whole.
    int text[2] = {0, 0};
    int raw[2] = {0, 0};
    int nextLength[2] = {0, 0};  // each thread's lines come in its own order
    size_t at = 0;
    while (at < log.size()) {
        const char c = log[at];
        if (c == 'R' || c == 'S') {
            ASSERT_LE(at + 1006, log.size()) << "raw entry cut at " << at;
            ASSERT_EQ(log.substr(at, 1006), std::string(1006, c)) << "raw entry broken at " << at;
            ++raw[c == 'S'];
            at += 1006;
        } else if (c == 'A' || c == 'B') {
            const int who = c == 'B';
            const size_t expected = static_cast<size_t>(50 + (nextLength[who] * 37) % 400);
            ASSERT_LE(at + expected + 3, log.size()) << "text entry cut at " << at;
            ASSERT_EQ(log.substr(at, expected), std::string(expected, c)) << "text entry broken at " << at;
            ASSERT_EQ(log.substr(at + expected, 3), std::string("\r\n\0", 3)) << "entry end broken at " << at;
            ++nextLength[who];
            ++text[who];
            at += expected + 3;
        } else {
            FAIL() << "unexpected byte " << static_cast<int>(static_cast<unsigned char>(c)) << " at " << at;
        }
    }
    EXPECT_EQ(text[0], kConcurrentEntries);
    EXPECT_EQ(text[1], kConcurrentEntries);
    EXPECT_EQ(raw[0], kConcurrentEntries / 3);
    EXPECT_EQ(raw[1], kConcurrentEntries / 3);
}

// ------------------------------------------------- the handshake's entries

class HandshakeLog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(simharness::RegisterSimulator(&error)) << error;
    }

    // Runs one Connect in a fresh copy against the given simulator settings
    // and returns the log bytes; exitCode is 0 when the handshake succeeded.
    std::string ConnectOnce(const std::string& settings, int& exitCode) {
        CopiedProgram program("connect");
        EXPECT_TRUE(program.Copied());
        simharness::SimSettings sim(program.Folder());
        sim.Apply(settings);  // the child inherits QUORVEL_SIM_CONFIG
        exitCode = program.Run(program.Quoted() + " --child handshake log");
        return ReadWholeFile(program.LogPath());
    }

    static std::string Banner() {
        return Entry("") + Entry("============== version  151 ==========================") + Entry("") +
               Entry("_____ BOOL CZelpixDlg::OnInitDialog()____________");
    }
};

TEST_F(HandshakeLog, SuccessfulConnect) {
    int code = -1;
    const std::string log = ConnectOnce("screen_reply=height=240width=320\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Visible(log), Visible(Banner() + Entry("The channel open. Protocol begin") +
                                    Entry("send:    Hello from Quorvel Photo Manager") +
                                    Entry("received:   height=240width=320") + Entry("height= 240  width=320")));
}

TEST_F(HandshakeLog, NumbersAreLoggedAsParsedEvenWhenTheDefaultSizeIsUsed) {
    int code = -1;
    const std::string log = ConnectOnce("screen_reply=width=320 height=240\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Visible(log), Visible(Banner() + Entry("The channel open. Protocol begin") +
                                    Entry("send:    Hello from Quorvel Photo Manager") +
                                    Entry("received:   width=320 height=240") + Entry("height= 0  width=320")));

    const std::string log2 = ConnectOnce("screen_reply=height=-480;width=99999\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(log2.find(Entry("height= -480  width=99999")), std::string::npos) << Visible(log2);
}

TEST_F(HandshakeLog, NoHandheld) {
    int code = -1;
    const std::string log = ConnectOnce("devices=0\n", code);
    EXPECT_EQ(code, 10);
    EXPECT_EQ(Visible(log), Visible(Banner() + Entry("The channel hasn`t been open. Initial info not received")));
}

TEST_F(HandshakeLog, AnswerNeverComes) {
    int code = -1;
    const std::string log = ConnectOnce("close_at=1\n", code);
    EXPECT_EQ(code, 10);
    EXPECT_EQ(Visible(log), Visible(Banner() + Entry("The channel open. Protocol begin") +
                                    Entry("send:    Hello from Quorvel Photo Manager") + Entry("fail connect")));
}

}  // namespace

// The test's own entry point: a copy started with --child does one action
// and ends; otherwise the tests run.
int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--child") return RunChild(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
