// The instance mutex, the main window's mark and the hand-over.
#include "app/Instance.h"

#include "app/CommandLinePicture.h"
#include "app/Log.h"
#include "app/StartArguments.h"
#include "toolkit/FileIdentity.h"
#include "toolkit/Text.h"

#include <vector>

namespace quorvel {

namespace {

const char kInstanceMutexName[] = "Local\\Quorvel Photo Manager instance";
const char kMainWindowMark[] = "Quorvel Photo Manager main window";

std::wstring ProgramFileOf(DWORD processId) {
    tk::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::wstring();
    std::vector<wchar_t> path(32768);
    DWORD n = static_cast<DWORD>(path.size());
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path.data(), &n)) return std::wstring();
    return std::wstring(path.data(), n);
}

struct MainWindowSearch {
    DWORD ownProcess;
    HWND found;
};

BOOL CALLBACK FindMarked(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<MainWindowSearch*>(param);
    if (!::GetPropA(wnd, kMainWindowMark)) return TRUE;
    DWORD process = 0;
    ::GetWindowThreadProcessId(wnd, &process);
    if (process == search->ownProcess || !RunsThisProgram(process)) return TRUE;
    search->found = wnd;
    return FALSE;
}

}  // namespace

tk::UniqueHandle ClaimInstance(bool* another) {
    tk::UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, kInstanceMutexName));
    const DWORD error = ::GetLastError();
    // A mutex of that name we may not open is somebody's too.
    *another = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    return mutex;
}

void MarkMainWindow(HWND wnd, bool mark) {
    if (!wnd) return;
    if (mark)
        ::SetPropA(wnd, kMainWindowMark, reinterpret_cast<HANDLE>(1));
    else
        ::RemovePropA(wnd, kMainWindowMark);
}

HWND FindRunningMainWindow() {
    MainWindowSearch search{::GetCurrentProcessId(), nullptr};
    ::EnumWindows(&FindMarked, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool RunsThisProgram(DWORD processId) {
    if (processId == 0) return false;
    if (processId == ::GetCurrentProcessId()) return true;
    const std::wstring theirs = ProgramFileOf(processId);
    if (theirs.empty()) return false;
    // The same full path is the same file, even at a moment when the file
    // system cannot tell a file's identity (Wine may fail to read a
    // volume's serial number now and then); identity catches other forms.
    const std::wstring ours = GetProgramFolderW(1);
    const std::wstring a = tk::FullPath(theirs), b = tk::FullPath(ours);
    if (::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
        CSTR_EQUAL)
        return true;
    return tk::IsSameFile(theirs, ours);
}

bool HandPictureToInstance(HWND target, const std::wstring& widePath) {
    // In UTF-8, so that the name travels as the user wrote it.
    const std::string path = Utf8FromWide(widePath);
    if (!target || path.empty() || path.size() > kMaxHandedPath) return false;
    // The receiver learns from this window which process sends.
    HWND sender = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!sender) return false;
    COPYDATASTRUCT copy{};
    copy.dwData = kOpenPictureCopyTag;
    copy.cbData = static_cast<DWORD>(path.size());
    copy.lpData = const_cast<char*>(path.data());
    DWORD_PTR answer = 0;
    const bool taken = ::SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender),
                                             reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 15000, &answer) &&
                       answer == TRUE;
    ::DestroyWindow(sender);
    // This process was started by the user, so it may bring the window up.
    if (taken) ::SetForegroundWindow(target);
    return taken;
}

bool IsAcceptableHandOver(HWND sender, const std::wstring& wide) {
    DWORD process = 0;
    if (!sender || !::GetWindowThreadProcessId(sender, &process) || !RunsThisProgram(process)) return false;
    if (!IsHandablePath(wide)) return false;
    // The drive must be a local or network one.
    std::vector<wchar_t> root(wide.size() + 2);
    if (!::GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size()))) return false;
    switch (::GetDriveTypeW(root.data())) {
    case DRIVE_REMOVABLE: case DRIVE_FIXED: case DRIVE_REMOTE: case DRIVE_CDROM: case DRIVE_RAMDISK: break;
    default: return false;
    }
    // An existing regular file: opened, it must be a disk file and no folder.
    tk::UniqueHandle file(::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return file && ::GetFileType(file.Get()) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file.Get(), &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

}  // namespace quorvel
