// The send-by-mail command: ask for the handheld's address and a subject,
// remember the address, and hand the prepared picture to the mail client on
// a thread of its own, so the main window stays responsive while the mail
// client's windows are open.
//
// The picture is prepared on the mail thread, as it was placed when Send was
// pressed, into the "Sent Pictures" file that the transfer and other mails
// of the same picture name share; the mail attaches a copy of its own under
// the same name, so neither a transfer nor a later mail can change it while
// the mail client still has it. Mails prepare in the order they were sent
// (mail/MailTurns.h), and no mail waits for another mail's client.
#pragma once
#include "imaging/LoadedPicture.h"
#include "toolkit/Win.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Writes the picture to mail and puts the written file's path into
// *preparedPath; true when the file was written. It runs on the mail thread,
// possibly after the command has returned, so it must hold copies of
// everything it uses (picture path, placement, screen size, folder), never
// references into the main dialog.
using PrepareMailPicture = std::function<bool(std::wstring* preparedPath)>;

// "Some errors occurred while sending mail.\nPlease check address and mail settings! \n"
extern const char kMailFailedMessage[];

// One mail, owned by its thread from the moment the thread starts.
struct MailJob {
    std::string recipient;
    std::string subject;
    HWND owner = nullptr;  // parent of the mail client's windows and of the warning
    // The file the preparation will write; any earlier file there is deleted
    // before preparing. Copied when `prepare` gives no path of its own.
    std::wstring preparedPath;
    std::wstring picturePath;               // the picture itself, never deleted
    PrepareMailPicture prepare;             // empty: attach `attachments` as they are
    std::vector<std::wstring> attachments;  // filled with the mail's own copy
    std::wstring ownFolder;                 // the copy's folder, removed with it
};

// The command of the main dialog's Send by mail button. Runs the dialog
// (owned by `mainWindow`) with the address from "email.dat"; on Send stores
// the address and starts the mail thread for the picture, which
// `prepare` writes as sentPicturesFolder + "\" + base name + ".jpg".
// Returns as soon as the thread is started or the dialog was cancelled.
void SendPictureByMail(HWND mainWindow, const LoadedPicture& picture, const std::wstring& sentPicturesFolder,
                       PrepareMailPicture prepare);

// Starts the mail thread for `job`, in its turn after the mails started
// before it. False when no thread could be made; the warning has then been
// shown and the job freed.
bool StartMailThread(std::unique_ptr<MailJob> job);

// The thread procedure: waits for its turn, prepares and copies, hands the
// mail to Simple MAPI, shows a warning on any failure (kPictureUnreadableText
// of imaging/PreparedPicture.h when there is no picture to attach,
// kMailFailedMessage when the hand-off failed), removes its copy and frees
// the job.
DWORD WINAPI MailThread(void* job);

// Mail threads that have not yet ended. While one runs, the program ends
// without shutting the imaging service down: the thread may still use it.
int RunningMailThreads();

// Removes the folders of mail copies (mail/MailFolder.h) that an earlier run
// left to a mail client when it ended, unless a program of that process id
// still runs. Called at start, before any mail of the run. Returns how many
// were removed.
int RemoveLeftoverMailCopies();
