// Send to device: the sending thread and the button that starts it.
#include "device/PictureTransfer.h"
#include "imaging/ImageOps.h"

#include "app/Log.h"
#include "device/ScreenReply.h"
#include "device/TransferRecords.h"
#include "device/UsbChannel.h"
#include "toolkit/Handles.h"

#include <cstring>
#include <vector>

namespace quorvel {

const char kPictureNameTooLongText[] = "The picture's name is too long for the handheld.\nIt has not been sent";
const char kLogFileOpenFail[] = "picture file open fail";
const char kLogFileReadFail[] = "picture file read fail";
const char kLogNameTooLong[] = "picture file name too long";

}  // namespace quorvel

namespace {

using namespace quorvel;

// One character in the ANSI code page, exactly or not at all.
bool AnsiCharacterOf(const std::u16string& c, std::string* bytes) {
    return tk::ToAnsiExactly(std::wstring(c.begin(), c.end()), bytes);
}

// A record could not be written or no acknowledgement came (the channel has
// gone): the user is told to start the companion application again.
void ShowFailureMessages(const PictureSendJob& job) {
    if (job.Stopped()) return;  // the program ends: the channel was closed under the wait
    PictureSendWindow& window = *job.window;
    window.ShowWarning(kStartCompanionText);
    window.ShowWarning(kImageNotSentText);
}

// The handheld answered something other than "Rcv".
bool Refuse(const PictureSendJob& job) {
    ShowFailureMessages(job);
    WriteLogLine(kLogLabelError);
    return false;
}

bool FileFailure(PictureSendWindow& window, const char* logLine) {
    WriteLogLine(logLine);
    window.ShowWarning(kPictureUnreadableText);
    return false;
}

enum class PreparedRead { kRead, kOpenFailed, kReadFailed, kTooBig };

// Opens the prepared file (others may read and write it meanwhile, as with
// any ordinary file) and, when it is within the limit, reads it whole. A
// file that yields fewer bytes than it measured is unreadable.
PreparedRead ReadPreparedFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    tk::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return PreparedRead::kOpenFailed;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return PreparedRead::kOpenFailed;
    if (!IsWithinTransferLimit(static_cast<std::uint64_t>(size.QuadPart))) return PreparedRead::kTooBig;
    bytes.assign(static_cast<std::size_t>(size.QuadPart), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr) ||
            got == 0) {
            return PreparedRead::kReadFailed;
        }
        done += got;
    }
    return PreparedRead::kRead;
}

} // namespace

bool PicturesSending(PictureSendJob& job) {
    UsbChannel& channel = *job.channel;
    PictureSendWindow& window = *job.window;
    TransferProgress& progress = *job.progress;

    for (const std::string& line : SendingBannerLines()) WriteLogLine(line);

    if (!channel.IsOpen()) {
        WriteLogLine(kLogNullChannel);
        progress.Finish();
        window.ShowWarning(kStartCompanionText);
        return false;
    }

    const std::wstring path = PreparedPicturePath(job.sentPicturesFolder, job.picturePath);
    // The file keeps the picture's own name; the handheld reads its name in
    // the ANSI code page, and the log shows what the handheld is told.
    const std::wstring fileName = PreparedPictureFileName(job.picturePath);
    const std::string name = HandheldPictureName(std::u16string(fileName.begin(), fileName.end()), AnsiCharacterOf);
    // The name and its zero byte must fit the 256-byte field. Refused before
    // anything is prepared or sent (a name this long can only come from a
    // multi-byte code page, where characters take two bytes each).
    if (name.size() > kMaxImageNameLength) {
        WriteLogLine(kLogNameTooLong);
        window.ShowWarning(kPictureNameTooLongText);
        return false;
    }

    // The picture is prepared and read in one turn: no mail deletes or
    // rewrites the file between the two, and what is read is what is sent.
    std::vector<std::uint8_t> picture;
    PreparedRead read = PreparedRead::kOpenFailed;
    {
        PreparationTurn turn;
        DeleteEarlierPreparedFile(path, job.picturePath);
        if (job.preparePicture) {
            std::wstring written = path;
            job.preparePicture(&written);  // its result is not looked at; the file tells
        }
        read = ReadPreparedFile(path, picture);
    }
    switch (read) {
    case PreparedRead::kRead: break;
    case PreparedRead::kOpenFailed: return FileFailure(window, kLogFileOpenFail);
    case PreparedRead::kReadFailed: return FileFailure(window, kLogFileReadFail);
    case PreparedRead::kTooBig: window.ShowWarning(kImageTooBigText); return false;
    }
    const auto length = static_cast<std::uint32_t>(picture.size());

    WriteLogLine(kLogFileOpened);

    InitImgRecord init{};
    if (!BuildInitImg(name, length, init)) {
        // Cannot happen after the checks above; refuse rather than send a
        // record that lies.
        WriteLogLine(kLogNameTooLong);
        window.ShowWarning(kPictureNameTooLongText);
        return false;
    }

    progress.SetRange(ProgressUpperBound(length));

    WriteLogLine(kLogInitByField);
    WriteLogLine(CommandLogLine(init.data()));
    WriteLogLine(NameLengthLogLine(static_cast<std::int32_t>(name.size())));
    WriteLogLine(NameLogLine(name));
    WriteLogLine(ImageLengthLogLine(length));
    WriteLogLine(kLogInitAllBytes);
    WriteLogBytes(init.data(), static_cast<std::int32_t>(init.size()));

    if (job.Stopped() || !channel.Write(init.data(), static_cast<std::int32_t>(init.size()))) {
        ShowFailureMessages(job);
        return false;
    }
    WriteLogLine(SendCommandLogLine(init.data()));

    std::string reply;
    if (!channel.ReadString(reply)) {
        ShowFailureMessages(job);
        return false;
    }
    WriteLogLine(ReceiveLogLine(reply));
    if (!IsAcknowledgement(reply)) {
        WriteLogLine(kLogRcvFailInit);
        return Refuse(job);
    }
    progress.StepIt();

    WriteLogLine(kLogCycleBegin);
    std::int32_t bytesSent = 0;
    std::int32_t blockCounter = 0;
    BlockImgRecord block{};  // one buffer for every block
    while (static_cast<std::uint32_t>(bytesSent) < length) {
        const std::int32_t blockLength = NextBlockLength(static_cast<std::uint32_t>(bytesSent), length);
        std::memcpy(block.data() + kBlockImgDataOffset, picture.data() + bytesSent,
                    static_cast<std::size_t>(blockLength));
        FinishBlockImg(block, static_cast<std::size_t>(blockLength));

        WriteLogLine(BlockHeaderLogLine(blockCounter));
        WriteLogLine(CommandLogLine(block.data()));
        WriteLogLine(BlockLengthLogLine(blockLength, blockLength));
        WriteLogLine(kLogBlockData);
        WriteLogBytes(block.data() + kBlockImgDataOffset, blockLength);
        WriteLogLine(BlockAllBytesLogLine(blockCounter));
        WriteLogBytes(block.data(), static_cast<std::int32_t>(block.size()));

        if (job.Stopped() || !channel.Write(block.data(), static_cast<std::int32_t>(block.size()))) {
            ShowFailureMessages(job);
            return false;
        }
        if (!channel.ReadString(reply)) {
            ShowFailureMessages(job);
            return false;
        }
        bytesSent += blockLength;
        blockCounter += 1;
        WriteLogLine(kLogNowSent);
        WriteLogLine(BytesSentLogLine(bytesSent));
        if (!IsAcknowledgement(reply)) {
            WriteLogLine(RcvFailBlockLogLine(blockCounter));  // the refused block, counted from 1
            return Refuse(job);
        }
        progress.StepIt();
    }

    WriteLogLine(kLogEnd);
    if (job.Stopped() || !channel.WriteString(kEndText)) {
        ShowFailureMessages(job);
        return false;
    }
    return true;  // the prepared file stays in the "Sent Pictures" folder
}

int PictureSendJob::Run() {
    const bool sent = PicturesSending(*this);
    if (Stopped()) {
        // The main window ends the connection and the run; it waits for
        // this thread meanwhile.
        progress->Finish();
        return 0;
    }
    if (sent) {
        window->ShowWarning(kImageSentText);
    } else {
        progress->Finish();
        window->SetStatusText(GetStatusText(*channel));
        DisconnectLink(*channel, *window);
        window->SetStatusText(GetStatusText(*channel));
    }
    window->ShowPreviewLabel(true);
    window->SetStatusText(GetStatusText(*channel));
    return 0;
}

std::string AnsiNameOf(const std::wstring& name) {
    return AnsiForm(std::u16string(name.begin(), name.end()), AnsiCharacterOf);
}

bool StartPictureSend(TransferProgress& progress, HWND owner, std::shared_ptr<PictureSendJob> job) {
    if (!job || !job->channel || !job->window) return false;
    PictureSendWindow& window = *job->window;
    if (job->picturePath.empty()) {
        window.ShowWarning(kNoImageLoadedText);
        window.SetStatusText(GetStatusText(*job->channel));
        return false;
    }
    if (progress.IsWorkerRunning()) return false;

    job->progress = &progress;
    window.SetStatusText(kSendingStatusText);
    window.ShowPreviewLabel(false);
    if (!progress.Start(1, owner, std::string(), [job](HWND) { return job->Run(); })) {
        window.ShowPreviewLabel(true);
        window.SetStatusText(GetStatusText(*job->channel));
        return false;
    }
    return true;
}
