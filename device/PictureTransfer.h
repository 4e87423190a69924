// Send to device: the prepared JPEG file goes to the handheld as one
// init_img record, one block_img record per 1000 bytes and "End", each record
// but the last acknowledged with "Rcv" before the next one leaves
// (stop-and-wait). The records, limits and log lines are portable code in
// device/TransferRecords.h; this is the thread that prepares and reads the
// file, talks to the channel and tells the main window.
//
// The user-interface thread calls StartPictureSend (the Send to device
// button). It starts the progress window, whose worker thread runs
// PictureSendJob::Run, which runs PicturesSending. Every failure ends in the
// disconnected state; success keeps the connection.
//
// The picture preparation (cut to the handheld's screen, 16 bits per pixel,
// JPEG) is handed in as a function, so the transfer does not depend on the
// main window's preview state and can be driven with files of exact sizes.
// A mail may prepare the same file at any moment, so the transfer prepares
// in its turn (imaging/PreparedPicture.h) and reads the file whole (at most
// 64000 bytes) before the turn ends: what it sends is exactly what it
// prepared, whatever happens to the file afterwards.
//
// The main window and the progress window are reached through the narrow
// interfaces declared here and in device/TransferProgress.h.
#pragma once
#include "device/Connection.h"
#include "device/TransferProgress.h"
#include "imaging/PreparedPicture.h"
#include "toolkit/Win.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class UsbChannel;

// The main window as the transfer needs it: what the device link needs, plus
// the "Image preview" label (1041), whose place the progress window takes.
class PictureSendWindow : public MainWindowLink {
public:
    virtual void ShowPreviewLabel(bool show) = 0;
};

// Writes the prepared picture. On entry *preparedPath holds the path the
// transfer will read ("Sent Pictures" folder, "\", base name, ".jpg"); the
// function writes the file there (it may store the path it wrote back into
// *preparedPath; the transfer reads the path it announced on entry either
// way). Its result is not looked at: the transfer sends whatever file the
// preparation left, and fails when there is none. It runs in the
// preparation turn, so it must not wait for anything that may itself wait
// for a turn.
//
// The main dialog gives:
//   [=](std::wstring* out) { return PrepareDevicePicture(path, placed, screenW, screenH,
//                                                        sentPicturesFolder, kPixelFormat16bppRGB555, out); }
using PreparePictureFn = std::function<bool(std::wstring* preparedPath)>;

// Everything one transfer needs. Shared by the button handler and the
// sending thread; the objects pointed to belong to the main window and
// outlive the thread (the main window waits for it before it goes).
struct PictureSendJob {
    UsbChannel* channel = nullptr;
    PictureSendWindow* window = nullptr;
    TransferProgress* progress = nullptr;
    std::wstring picturePath;         // the current picture; empty when none is loaded
    std::wstring sentPicturesFolder;  // without a trailing backslash
    PreparePictureFn preparePicture;
    // Set by the main window when the program ends (may be null): the
    // transfer then writes no further record, shows nothing, reports no
    // success and leaves the connection to the main window.
    const std::atomic<bool>* stop = nullptr;
    bool Stopped() const { return stop && stop->load(); }

    // The sending thread's body: PicturesSending, then the success message
    // or the failure path (progress window finished, disconnect), then the
    // label and the status text again. Returns the thread's exit code, 0.
    int Run();
};

// The Send to device button (1006), on the user-interface thread. Without a
// picture: "No image loaded" and the status text; otherwise the status
// "Sending picture. Please wait...", the label hidden, and the progress
// window started (upper bound 1, `owner` disabled) with a thread that runs
// job->Run(). Returns true when the thread was started. While the thread of
// a previous transfer still runs (the progress window lets the main window
// go one block before the end) it does nothing and returns false.
bool StartPictureSend(TransferProgress& progress, HWND owner, std::shared_ptr<PictureSendJob> job);

// The transfer itself, on the sending thread. True when the whole file was
// acknowledged and "End" was written. Shows its own failure messages; the
// caller disconnects. Once the job is stopped it ends at its current wait
// (the main window closes the channel, which fails that wait) or before its
// next record, false and without a message.
bool PicturesSending(PictureSendJob& job);

// A name in the ANSI code page as the log and the handheld show it: "_" for
// each character the code page cannot hold (quorvel::AnsiForm).
std::string AnsiNameOf(const std::wstring& name);

namespace quorvel {

// Failures that the transfer adds to the protocol's own (besides
// kPictureUnreadableText of imaging/PreparedPicture.h: the prepared file is
// missing or unreadable).
extern const char kPictureNameTooLongText[]; // the announced name would not fit its 256-byte field
extern const char kLogFileOpenFail[];        // "picture file open fail"
extern const char kLogFileReadFail[];        // "picture file read fail"
extern const char kLogNameTooLong[];         // "picture file name too long"

}  // namespace quorvel
