#include "imaging/PictureExtensions.h"

#include <algorithm>

namespace imaging {

namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Lowered(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), Lower);
    return s;
}

bool IsPlainExtension(const std::wstring& e) {
    if (e.size() < 2 || e[0] != L'.') return false;
    return std::none_of(e.begin() + 1, e.end(), [](wchar_t c) {
        return c <= L' ' || c == L'.' || c == L'*' || c == L'?' || c == L';' || c == L',' || c == L'\\' ||
               c == L'/' || c == L'|' || c == 0x7F;
    });
}

}  // namespace

const std::vector<std::wstring>& OwnPictureExtensions() {
    static const std::vector<std::wstring> own{L".bmp", L".jpg", L".jpeg", L".png", L".gif", L".tiff", L".tif"};
    return own;
}

std::vector<std::wstring> PictureExtensions(const std::vector<std::wstring>& decoderLists) {
    std::vector<std::wstring> all = OwnPictureExtensions();
    for (const std::wstring& list : decoderLists) {
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t comma = list.find(L',', start);
            if (comma == std::wstring::npos) comma = list.size();
            const std::wstring e = Lowered(list.substr(start, comma - start));
            if (IsPlainExtension(e) && std::find(all.begin(), all.end(), e) == all.end()) all.push_back(e);
            start = comma + 1;
        }
    }
    return all;
}

std::wstring FilterPatterns(const std::vector<std::wstring>& extensions) {
    std::wstring patterns;
    for (const std::wstring& e : extensions) {
        if (!patterns.empty()) patterns += L"; ";
        patterns += L"*" + e;
    }
    return patterns;
}

bool HasPictureExtension(const std::wstring& path, const std::vector<std::wstring>& extensions) {
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = Lowered(slash == std::wstring::npos ? path : path.substr(slash + 1));
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    return std::find(extensions.begin(), extensions.end(), name.substr(dot)) != extensions.end();
}

std::size_t DroppedPictureChoice(const std::vector<std::wstring>& files, const std::vector<std::wstring>& extensions) {
    for (std::size_t i = 0; i < files.size(); ++i)
        if (HasPictureExtension(files[i], extensions)) return i;
    return files.empty() ? files.size() : 0;
}

}  // namespace imaging
