// The send-by-mail command and its mail thread. The user-interface thread
// only runs the dialog, stores the address and starts the thread; the
// preparation of the picture and the Simple MAPI hand-off happen on the mail
// thread, and the thread alone owns and frees its job.
//
// The prepared file in "Sent Pictures" is shared with the transfer and with
// every other mail of a picture with the same base name. So the mail
// prepares it in the preparation turn (imaging/PreparedPicture.h) and, still
// in that turn, copies it into a folder of its own under the same name; the
// mail client gets the copy, which nobody else writes, and the copy goes
// once the client has returned.
#include "mail/SendByMail.h"
#include "imaging/ImageOps.h"

#include "app/Instance.h"
#include "app/ProgramFiles.h"
#include "imaging/PreparedPicture.h"
#include "mail/MailFolder.h"
#include "mail/MailTurns.h"
#include "mail/MapiMailer.h"
#include "mail/SendMailDlg.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

#include <atomic>
#include <optional>

const char kMailFailedMessage[] = "Some errors occurred while sending mail.\nPlease check address and mail settings! \n";

namespace {

// Never destroyed: a mail thread may still wait for its turn while the
// process ends.
MailTurns& Turns() {
    static MailTurns* turns = new MailTurns;
    return *turns;
}
std::atomic<int> g_runningMailThreads{0};

// The job and the ticket of its turn, handed to the thread as one block.
struct MailThreadStart {
    std::unique_ptr<MailJob> job;
    MailTurns::Ticket ticket = 0;
};

void ShowMailFailed(HWND owner) {
    // No caption: the system's default one shows.
    ::MessageBoxA(owner, kMailFailedMessage, nullptr, MB_OK | MB_ICONWARNING);
}

// The picture could not be prepared: the transfer's message for the same
// failure, as the main window shows its warnings.
void ShowPictureUnreadable(HWND owner) {
    ::MessageBoxA(owner, quorvel::kPictureUnreadableText, tk::kAppCaption, MB_OK | MB_ICONWARNING);
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The temporary folder with its trailing backslash, in UTF-16: the user's
// own profile folder may hold characters the ANSI code page lacks.
std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    return n == 0 || n > MAX_PATH ? std::wstring() : std::wstring(temp, n);
}

// A new, empty folder for one mail's own copy, in the temporary folder; ""
// when none can be made.
std::wstring MakeOwnFolder() {
    static std::atomic<unsigned> counter{0};
    const std::wstring temp = TempFolder();
    if (temp.empty()) return std::wstring();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = temp + tk::ToWide(quorvel::MailFolderName(::GetCurrentProcessId(), ++counter));
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
    }
    return std::wstring();
}

// Deletes the earlier file, prepares the picture and copies what was written
// into the job's own folder, all in one preparation turn. False when there
// is no picture to attach: a mail without its picture is not worth sending.
bool PrepareAttachment(MailJob& job) {
    if (!job.prepare) return true;
    quorvel::PreparationTurn turn;
    DeleteEarlierPreparedFile(job.preparedPath, job.picturePath);
    std::wstring written;
    if (!job.prepare(&written)) return false;
    const std::wstring prepared = written.empty() ? job.preparedPath : written;
    const std::wstring folder = MakeOwnFolder();
    if (folder.empty()) return false;
    const std::wstring copy = folder + L"\\" + FileNameOf(prepared);
    if (!::CopyFileW(prepared.c_str(), copy.c_str(), FALSE)) {
        ::RemoveDirectoryW(folder.c_str());
        return false;
    }
    job.ownFolder = folder;
    job.attachments.assign(1, copy);
    return true;
}

// Once the mail client has returned, its copy is no longer needed.
void RemoveOwnCopy(const MailJob& job) {
    if (job.ownFolder.empty()) return;
    for (const std::wstring& path : job.attachments) ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(job.ownFolder.c_str());
}

}  // namespace

void SendPictureByMail(HWND mainWindow, const LoadedPicture& picture, const std::wstring& sentPicturesFolder,
                       PrepareMailPicture prepare) {
    if (picture.path.empty()) return;  // the button is enabled only with a picture

    CSendMailDlg dialog(LoadMailAddress(), mainWindow);
    if (dialog.DoModal() != IDOK) return;  // Cancel (or a quit request): nothing stored, prepared or sent

    SaveMailAddress(dialog.To());

    auto job = std::make_unique<MailJob>();
    job->recipient = dialog.To();
    job->subject = dialog.Subject();
    job->owner = mainWindow;
    job->preparedPath = quorvel::PreparedPicturePath(sentPicturesFolder, picture.path);
    job->picturePath = picture.path;
    job->prepare = std::move(prepare);
    StartMailThread(std::move(job));
}

bool StartMailThread(std::unique_ptr<MailJob> job) {
    if (!job) return false;
    HWND owner = job->owner;
    auto start = std::make_unique<MailThreadStart>();
    start->job = std::move(job);
    start->ticket = Turns().Draw();
    const MailTurns::Ticket ticket = start->ticket;

    ++g_runningMailThreads;
    MailThreadStart* handedOver = start.release();  // the thread owns it from here
    // Nothing waits for the thread: its handle goes at once.
    const tk::UniqueHandle thread(::CreateThread(nullptr, 0, &MailThread, handedOver, 0, nullptr));
    if (!thread) {
        start.reset(handedOver);  // no thread: it comes back to us and is freed
        --g_runningMailThreads;
        Turns().Finish(ticket);  // later mails must not wait for this one
        start.reset();
        ShowMailFailed(owner);
        return false;
    }
    return true;
}

DWORD WINAPI MailThread(void* param) {
    std::unique_ptr<MailThreadStart> start(static_cast<MailThreadStart*>(param));
    MailJob& job = *start->job;

    Turns().WaitTurn(start->ticket);
    bool prepared = false;
    try {
        prepared = PrepareAttachment(job);
    } catch (...) {
        prepared = false;  // nothing may leave the thread; the user hears of it below
    }
    // The mail has its own copy: the next mail need not wait for this one's
    // client.
    Turns().Finish(start->ticket);

    bool sent = false;
    std::optional<MapiMailer> mailer;
    if (prepared) {
        try {
            mailer.emplace(job.owner);  // loads Simple MAPI and logs on
            sent = mailer->SendWide(job.recipient, job.subject, std::string(), job.attachments);
        } catch (...) {
            sent = false;
        }
    }

    if (!prepared) ShowPictureUnreadable(job.owner);
    else if (!sent) ShowMailFailed(job.owner);
    mailer.reset();     // logs off and unloads Simple MAPI
    RemoveOwnCopy(job);  // the client is done with it
    start.reset();      // frees the job
    --g_runningMailThreads;
    return 0;
}

int RunningMailThreads() { return g_runningMailThreads.load(); }

int RemoveLeftoverMailCopies() {
    const std::wstring folderOfFolders = TempFolder();
    if (folderOfFolders.empty()) return 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folderOfFolders + tk::ToWide(quorvel::kMailFolderPattern)).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int removed = 0;
    do {
        unsigned long pid = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !quorvel::MailFolderProcess(tk::ToAnsi(found.cFileName), &pid))
            continue;
        // A running program's copy stays: its client may still read it. This
        // runs before any mail of this run, so a folder of our own id was
        // left by an ended process whose id came round again.
        if (pid != ::GetCurrentProcessId() && quorvel::RunsThisProgram(pid)) continue;
        const std::wstring folder = folderOfFolders + found.cFileName;
        // Only the files a mail puts there: one level, no subfolders.
        WIN32_FIND_DATAW file{};
        HANDLE files = ::FindFirstFileW((folder + L"\\*").c_str(), &file);
        if (files != INVALID_HANDLE_VALUE) {
            do {
                if (!(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileW((folder + L"\\" + file.cFileName).c_str());
            } while (::FindNextFileW(files, &file));
            ::FindClose(files);
        }
        if (::RemoveDirectoryW(folder.c_str())) ++removed;
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}
