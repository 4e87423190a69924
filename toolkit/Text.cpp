// Text conversions and the standard message box.
#include "toolkit/Text.h"

#include <vector>

namespace tk {

const char* const kAppCaption = "Quorvel Photo Manager";

std::wstring ToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool ToAnsiExactly(const std::wstring& text, std::string* ansi) {
    ansi->clear();
    if (text.empty()) return true;
    BOOL lossy = FALSE;
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return false;
    ansi->assign(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), &(*ansi)[0], n,
                          nullptr, &lossy);
    return !lossy;
}

int ShowWarning(HWND owner, const std::string& text) {
    return ::MessageBoxA(owner, text.c_str(), kAppCaption, MB_OK | MB_ICONWARNING);
}

std::string GetWindowTextString(HWND wnd) {
    int n = ::GetWindowTextLengthA(wnd);
    if (n <= 0) return std::string();
    std::vector<char> buf(static_cast<size_t>(n) + 1, '\0');
    int got = ::GetWindowTextA(wnd, buf.data(), n + 1);
    return std::string(buf.data(), static_cast<size_t>(got > 0 ? got : 0));
}

} // namespace tk
