// Whether two paths name one file on disk, and the full form of a path.
#pragma once
#include <string>

namespace tk {

// The path made full (drive or share, no "." or ".." left); the path as it
// is when the system cannot make it full.
std::wstring FullPath(const std::wstring& path);

// Whether the two paths name one file, decided by the file's identity (its
// volume's serial number and its index there), not by the paths' text, so a
// short name, another drive letter mapped onto the folder, a link, ".." or
// another case all name the same file. When only one of them can be
// reached they are two; when neither can, their full forms are compared,
// ignoring case.
bool IsSameFile(const std::wstring& a, const std::wstring& b);

}  // namespace tk
