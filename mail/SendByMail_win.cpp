// The send-by-mail command and its mail thread. The user-interface thread
// only runs the dialog, stores the address and starts the thread; the
// preparation of the picture and the Simple MAPI hand-off happen on the mail
// thread in its turn, and the thread alone owns and frees its job.
#include "mail/SendByMail.h"
#include "imaging/ImageOps.h"

#include "app/ProgramFiles.h"
#include "device/TransferRecords.h"
#include "mail/MailTurns.h"
#include "mail/MapiMailer.h"
#include "mail/SendMailDlg.h"

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

// Deletes the earlier file and prepares the picture. False when no picture
// could be written: a mail without its picture is not worth sending.
bool PrepareAttachment(MailJob& job) {
    if (!job.prepare) return true;
    DeleteEarlierPreparedFile(job.preparedPath, job.picturePath);
    std::string written;
    if (!job.prepare(&written)) return false;
    job.attachments.assign(1, written.empty() ? job.preparedPath : written);
    return true;
}

}  // namespace

void SendPictureByMail(HWND mainWindow, const LoadedPicture& picture, const std::string& sentPicturesFolder,
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
    HANDLE thread = ::CreateThread(nullptr, 0, &MailThread, handedOver, 0, nullptr);
    if (!thread) {
        start.reset(handedOver);  // no thread: it comes back to us and is freed
        --g_runningMailThreads;
        Turns().Finish(ticket);  // later mails must not wait for this one
        start.reset();
        ShowMailFailed(owner);
        return false;
    }
    ::CloseHandle(thread);  // nothing waits for the thread
    return true;
}

DWORD WINAPI MailThread(void* param) {
    std::unique_ptr<MailThreadStart> start(static_cast<MailThreadStart*>(param));
    MailJob& job = *start->job;

    bool sent = false;
    std::optional<MapiMailer> mailer;
    Turns().WaitTurn(start->ticket);
    try {
        if (PrepareAttachment(job)) {
            mailer.emplace(job.owner);  // loads Simple MAPI and logs on
            sent = mailer->Send(job.recipient, job.subject, std::string(), job.attachments);
        }
    } catch (...) {
        sent = false;  // nothing may leave the thread; the user hears of it below
    }
    // The mail client has returned: the next mail may now rewrite the file.
    Turns().Finish(start->ticket);

    if (!sent) ShowMailFailed(job.owner);
    start.reset();    // frees the job
    mailer.reset();   // logs off and unloads Simple MAPI
    --g_runningMailThreads;
    return 0;
}

int RunningMailThreads() { return g_runningMailThreads.load(); }
