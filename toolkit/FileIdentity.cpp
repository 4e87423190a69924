// File identity by volume and file index.
#include "toolkit/FileIdentity.h"

#include "toolkit/Handles.h"
#include "toolkit/Win.h"

namespace tk {

namespace {

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity& o) const {
        return volume == o.volume && indexHigh == o.indexHigh && indexLow == o.indexLow;
    }
};

bool IdentityOf(const std::wstring& path, FileIdentity* id) {
    // No access asked for: even a file another program holds open answers.
    UniqueHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return false;
    *id = FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

}  // namespace

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD m = ::GetFullPathNameW(path.c_str(), n, &out[0], nullptr);
    if (m == 0 || m >= n) return path;
    out.resize(m);
    return out;
}

bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    FileIdentity ia, ib;
    const bool haveA = IdentityOf(a, &ia), haveB = IdentityOf(b, &ib);
    if (haveA && haveB) return ia == ib;
    if (haveA != haveB) return false;  // one of them is no file: they cannot be one
    // Neither can be reached (a deletion is then harmless anyway): by
    // their full forms, ignoring case.
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    return ::CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(), static_cast<int>(fb.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace tk
