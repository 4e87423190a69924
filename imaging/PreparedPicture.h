// The prepared picture: the JPEG file that every sender makes of the placed
// picture in the "Sent Pictures" folder, named after the picture (its file
// name cut before the first dot, plus ".jpg"). The transfer to the handheld
// and each mail prepare it, and two senders of pictures with the same base
// name write the same file, so they take turns: whoever deletes the earlier
// file, prepares the picture and takes what was written (the transfer reads
// it whole, a mail copies it) holds a PreparationTurn meanwhile. Nobody
// holds one while waiting for the handheld or for a mail client.
#pragma once

#include <mutex>
#include <string>

namespace quorvel {

// The picture's file name (text behind the last backslash) cut before its
// first dot: "C:\p\beach.day.png" gives "beach".
std::string PreparedPictureBaseName(const std::string& picturePath);
// Base name + ".jpg": the name announced to the handheld and given to mails.
std::string PreparedPictureFileName(const std::string& picturePath);
// sentPicturesFolder + "\" + base name + ".jpg".
std::string PreparedPicturePath(const std::string& sentPicturesFolder, const std::string& picturePath);
// The same for names carried as UTF-16, as the user wrote them:
// "C:\p\写真.png" gives "写真.jpg".
std::wstring PreparedPictureBaseName(const std::wstring& picturePath);
std::wstring PreparedPictureFileName(const std::wstring& picturePath);
std::wstring PreparedPicturePath(const std::wstring& sentPicturesFolder, const std::wstring& picturePath);

// Shown by every sender whose prepared picture is missing or unreadable.
extern const char kPictureUnreadableText[];  // "The prepared picture could not be read.\nIt has not been sent"

// One preparation at a time in the whole process: held from construction to
// destruction.
class PreparationTurn {
public:
    PreparationTurn();
    PreparationTurn(const PreparationTurn&) = delete;
    PreparationTurn& operator=(const PreparationTurn&) = delete;

    // How many senders wait for their turn at this moment, so that a test
    // can see one wait while another holds the turn.
    static int Waiting();

private:
    // Counts the sender as waiting from before it asks for the turn; the
    // constructor's body, which runs once the turn is its, counts it off.
    struct Queue {
        Queue();
    };
    Queue m_queue;
    std::lock_guard<std::mutex> m_hold;
};

}  // namespace quorvel
