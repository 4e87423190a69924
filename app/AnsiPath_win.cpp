#include "app/AnsiPath.h"

#include "app/StartArguments.h"

#include <windows.h>

#include <vector>

namespace {

// True and the text when `wide` converts to `codePage` without a stand-in
// character.
bool Convert(const std::wstring& wide, UINT codePage, std::string* out) {
    if (wide.empty()) {
        out->clear();
        return true;
    }
    BOOL lossy = FALSE;
    const bool ansi = codePage == CP_ACP;
    const DWORD flags = ansi ? WC_NO_BEST_FIT_CHARS : 0;
    int n = ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                  ansi ? &lossy : nullptr);
    if (n <= 0) return false;
    out->assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &(*out)[0], n, nullptr,
                          ansi ? &lossy : nullptr);
    return !lossy;
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

} // namespace

std::string AnsiPathFor(const std::wstring& path) {
    std::string ansi;
    if (Convert(path, CP_ACP, &ansi)) return ansi;
    DWORD n = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return std::string();
    std::vector<wchar_t> shortPath(n + 1, L'\0');
    n = ::GetShortPathNameW(path.c_str(), shortPath.data(), n + 1);
    if (n == 0 || !Convert(std::wstring(shortPath.data(), n), CP_ACP, &ansi)) return std::string();
    return ansi;
}

std::string PictureFromProcessCommandLine() {
    // The arguments are split on the UTF-8 form of the wide command line
    // (quotes, blanks and backslashes are the same bytes there).
    std::string utf8;
    Convert(::GetCommandLineW(), CP_UTF8, &utf8);
    const std::wstring picture = Widen(quorvel::PictureFromCommandLine(utf8));
    if (picture.empty()) return std::string();
    DWORD n = ::GetFullPathNameW(picture.c_str(), 0, nullptr, nullptr);
    std::wstring full = picture;
    if (n > 0) {
        std::vector<wchar_t> buffer(n + 1, L'\0');
        DWORD got = ::GetFullPathNameW(picture.c_str(), n + 1, buffer.data(), nullptr);
        if (got > 0 && got <= n) full.assign(buffer.data(), got);
    }
    return AnsiPathFor(full);
}
