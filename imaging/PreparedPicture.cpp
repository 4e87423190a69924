#include "imaging/PreparedPicture.h"

namespace quorvel {

const char kPictureUnreadableText[] = "The prepared picture could not be read.\nIt has not been sent";

namespace {

// Never destroyed: a mail thread may still prepare while the process ends.
std::mutex& PreparationMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

}  // namespace

PreparationTurn::PreparationTurn() : m_hold(PreparationMutex()) {}

std::string PreparedPictureBaseName(const std::string& picturePath) {
    const std::size_t slash = picturePath.rfind('\\');
    const std::string fileName = slash == std::string::npos ? picturePath : picturePath.substr(slash + 1);
    return fileName.substr(0, fileName.find('.'));
}

std::string PreparedPictureFileName(const std::string& picturePath) {
    return PreparedPictureBaseName(picturePath) + ".jpg";
}

std::string PreparedPicturePath(const std::string& sentPicturesFolder, const std::string& picturePath) {
    return sentPicturesFolder + "\\" + PreparedPictureFileName(picturePath);
}

}  // namespace quorvel
