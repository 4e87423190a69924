// The files the program keeps beside its executable: the "Sent Pictures"
// folder and "email.dat". The format of "email.dat" is parsed by the portable
// app/MailAddressFile; this file only opens, reads and writes. Every failure
// is silent by design: the first run has no "email.dat", and a folder the
// user cannot write to must not stop a mail from being sent.
#include "app/ProgramFiles.h"

#include "app/Log.h"
#include "app/LogFormat.h"
#include "app/MailAddressFile.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

namespace {

const wchar_t kSentPicturesFolderName[] = L"Sent Pictures";

std::wstring MailAddressPath() {
    const std::string name = quorvel::kMailAddressFileName;
    return quorvel::ProgramFilePath(GetProgramFolderW(0), std::wstring(name.begin(), name.end()));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::wstring CreateSentPicturesFolder() {
    const std::wstring folder = quorvel::ProgramFilePath(GetProgramFolderW(0), kSentPicturesFolderName);
    // An existing folder is the normal case; a failure shows up later, when
    // the prepared picture cannot be written.
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::string LoadMailAddress() {
    const tk::UniqueHandle owned(::CreateFileW(MailAddressPath().c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owned) return std::string();
    const HANDLE file = owned.Get();

    // Only the first word counts and at most 499 of its characters are kept,
    // so reading stops there; leading blanks are dropped as they come, so a
    // file of any size costs a bounded buffer.
    std::string word;
    char chunk[4096];
    bool done = false;
    while (!done) {
        DWORD got = 0;
        if (!::ReadFile(file, chunk, sizeof chunk, &got, nullptr) || got == 0) break;
        for (DWORD i = 0; i < got; ++i) {
            const char c = chunk[i];
            if (word.empty() && IsBlank(c)) continue;
            if (IsBlank(c) || c == '\0' || word.size() >= quorvel::kMaxMailAddressLength) {
                done = true;
                break;
            }
            word.push_back(c);
        }
    }
    return quorvel::ParseMailAddressFile(word);
}

void SaveMailAddress(const std::string& address) {
    // Opened without replacing the file object, so a hidden "email.dat" is
    // rewritten too; a read-only one (or folder) makes the open fail. Others
    // may keep the file open for reading or writing meanwhile, as with any
    // ordinary file write: a viewer that has it open does not cost the user
    // the address.
    const tk::UniqueHandle owned(::CreateFileW(MailAddressPath().c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owned) return;
    const HANDLE file = owned.Get();
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    if (::SetEndOfFile(file) && !address.empty()) {
        DWORD written = 0;
        ::WriteFile(file, address.data(), static_cast<DWORD>(address.size()), &written, nullptr);
    }
}
