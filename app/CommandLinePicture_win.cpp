#include "app/CommandLinePicture.h"

#include "app/StartArguments.h"

#include <windows.h>

#include <vector>

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

std::wstring PictureFromProcessCommandLine() {
    // The arguments are split on the UTF-8 form of the wide command line
    // (quotes, blanks and backslashes are the same bytes there).
    const std::wstring picture = WideFromUtf8(quorvel::PictureFromCommandLine(Utf8FromWide(::GetCommandLineW())));
    if (picture.empty()) return std::wstring();
    DWORD n = ::GetFullPathNameW(picture.c_str(), 0, nullptr, nullptr);
    if (n == 0) return picture;
    std::vector<wchar_t> buffer(n + 1, L'\0');
    const DWORD got = ::GetFullPathNameW(picture.c_str(), n + 1, buffer.data(), nullptr);
    return got > 0 && got <= n ? std::wstring(buffer.data(), got) : picture;
}
