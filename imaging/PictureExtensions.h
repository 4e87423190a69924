// PictureExtensions.h - the file extensions the program opens: the seven of
// its own formats first, then whatever else the installed decoders of the
// platform's imaging components report (HEIF, WebP, JPEG XR, DNG, ICO, DDS,
// ... as installed). The Open dialog's one entry "All Graphic Files" lists
// them, and a dropped or handed-over file is judged by the same list.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace imaging {

// ".bmp", ".jpg", ".jpeg", ".png", ".gif", ".tiff", ".tif".
const std::vector<std::wstring>& OwnPictureExtensions();

// The own seven, then each extension of the decoders' lists (each a
// comma-separated list such as ".heic,.heif"), lower-cased, once each, in
// the decoders' order. Entries that are not a dot and a plain name (no
// wildcard, separator, blank or control character) are left out.
std::vector<std::wstring> PictureExtensions(const std::vector<std::wstring>& decoderLists);

// "*.bmp; *.jpg; ..." for the Open dialog's filter.
std::wstring FilterPatterns(const std::vector<std::wstring>& extensions);

// Whether the file name ends in one of the extensions, ignoring case.
bool HasPictureExtension(const std::wstring& path, const std::vector<std::wstring>& extensions);

// The file a drop of several opens: the first whose name ends in one of the
// extensions; when none does, the first, which is then opened as a name
// typed by hand in the Open dialog is (a file no decoder reads shows 0 x 0).
// files.size() when there are none.
std::size_t DroppedPictureChoice(const std::vector<std::wstring>& files, const std::vector<std::wstring>& extensions);

}  // namespace imaging
