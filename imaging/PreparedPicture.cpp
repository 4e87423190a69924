#include "imaging/PreparedPicture.h"

#include <atomic>

namespace quorvel {

const char kPictureUnreadableText[] = "The prepared picture could not be read.\nIt has not been sent";

namespace {

// Never destroyed: a mail thread may still prepare while the process ends.
std::mutex& PreparationMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::atomic<int> g_waiting{0};

}  // namespace

PreparationTurn::Queue::Queue() { ++g_waiting; }

PreparationTurn::PreparationTurn() : m_hold(PreparationMutex()) { --g_waiting; }

int PreparationTurn::Waiting() { return g_waiting.load(); }

namespace {

template <class S>
S BaseName(const S& picturePath) {
    using C = typename S::value_type;
    const std::size_t slash = picturePath.rfind(static_cast<C>('\\'));
    const S fileName = slash == S::npos ? picturePath : picturePath.substr(slash + 1);
    return fileName.substr(0, fileName.find(static_cast<C>('.')));
}

template <class S>
S FileName(const S& picturePath) {
    using C = typename S::value_type;
    const C jpg[] = {'.', 'j', 'p', 'g', 0};
    return BaseName(picturePath) + jpg;
}

template <class S>
S Path(const S& folder, const S& picturePath) {
    using C = typename S::value_type;
    return folder + static_cast<C>('\\') + FileName(picturePath);
}

}  // namespace

std::string PreparedPictureBaseName(const std::string& p) { return BaseName(p); }
std::string PreparedPictureFileName(const std::string& p) { return FileName(p); }
std::string PreparedPicturePath(const std::string& f, const std::string& p) { return Path(f, p); }
std::wstring PreparedPictureBaseName(const std::wstring& p) { return BaseName(p); }
std::wstring PreparedPictureFileName(const std::wstring& p) { return FileName(p); }
std::wstring PreparedPicturePath(const std::wstring& f, const std::wstring& p) { return Path(f, p); }

}  // namespace quorvel
