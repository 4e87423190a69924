// Diagnostic log and program folder.
#include "app/Log.h"

#include "app/LogFormat.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <mutex>

namespace {

// The user-interface thread and the picture-sending thread both write; one
// lock keeps their entries whole and in order. The file format is unchanged.
// Never destroyed, as a mail thread may still log while the process ends.
std::mutex& LogMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

void AppendToLog(const void* bytes, DWORD count) {
    const std::string name = quorvel::kLogFileName;
    const std::wstring path = quorvel::ProgramFilePath(GetProgramFolderW(0), std::wstring(name.begin(), name.end()));
    std::lock_guard<std::mutex> guard(LogMutex());
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    tk::UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        file.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;  // an unwritable folder leaves the caller undisturbed
    ::SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    if (count > 0) ::WriteFile(file.Get(), bytes, count, &written, nullptr);
}

bool LoggingOn() {
    const char* commandLine = ::GetCommandLineA();
    return quorvel::IsLoggingOn(commandLine ? commandLine : "");
}

} // namespace

void WriteLogLine(std::string line) {
    if (!LoggingOn()) return;
    std::string entry = quorvel::LogTextEntry(line);
    AppendToLog(entry.data(), static_cast<DWORD>(entry.size()));
}

void WriteLogBytes(const void* bytes, std::int32_t count) {
    if (!LoggingOn()) return;
    if (count < 0 || (count > 0 && !bytes)) return;
    AppendToLog(bytes, static_cast<DWORD>(count));
}

std::string GetProgramFolder(int flag) {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n < MAX_PATH ? n : MAX_PATH);
    if (flag != 0) return full;
    return quorvel::ProgramFolderFromModulePath(full);
}

std::wstring GetProgramFolderW(int flag) {
    // The buffer grows until the whole path fits, so a program installed
    // below a long path finds its files all the same.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, &full[0], static_cast<DWORD>(full.size()));
        if (n == 0) {
            full.clear();
            break;
        }
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        if (full.size() >= 32768) break;
        full.resize(full.size() * 2);
    }
    if (flag != 0) return full;
    return quorvel::ProgramFolderFromModulePath(full);
}
