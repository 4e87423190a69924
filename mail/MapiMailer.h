// Hands one message to the user's mail client through Simple MAPI. The
// library is loaded at run time, so a machine without a mail client still
// runs the program: the send then simply reports failure. One object serves
// one mail: construct (load, log on), Send once, destroy (log off, unload),
// all on the same thread.
#pragma once
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <mapi.h>

#include <cstddef>
#include <string>
#include <vector>

class MapiMailer {
public:
    // "SMTP:" and the address share a 1000-byte buffer with its terminating
    // zero, so the longest address handed over is 994 characters.
    static constexpr std::size_t kAddressBufferSize = 1000;
    static constexpr std::size_t kMaxAddressLength = kAddressBufferSize - sizeof("SMTP:");

    // Loads "Mapi32.dll", resolves its entry points and logs on (the mail
    // client may show its own logon or profile dialog, owned by `owner`).
    explicit MapiMailer(HWND owner);
    // Logs off and unloads the library.
    ~MapiMailer();
    MapiMailer(const MapiMailer&) = delete;
    MapiMailer& operator=(const MapiMailer&) = delete;

    // Hands the message to the mail client, which shows it in its compose
    // window. True exactly when MAPISendMail returned success; false when
    // there is no library or no send entry, or when the address is longer
    // than kMaxAddressLength (then nothing is handed over). The attachment
    // paths are attached in list order.
    bool Send(const std::string& address, const std::string& subject, const std::string& body,
              const std::vector<std::string>& attachments);
    // The same with the attachments' paths as the user's file names are
    // carried, in UTF-16. Where the library has MAPISendMailW, the message
    // goes through it and each attachment is named by its own file name;
    // otherwise through MAPISendMail with ANSI paths, and an attachment whose
    // path the ANSI code page cannot hold is refused (false, nothing handed
    // over) rather than handed over by a path that names another file.
    bool SendWide(const std::string& address, const std::string& subject, const std::string& body,
                  const std::vector<std::wstring>& attachments);

private:
    tk::Library m_library;
    LPMAPISENDMAIL m_sendMail = nullptr;
    void* m_sendMailW = nullptr;  // MAPISendMailW, where the library has it
    LPMAPILOGON m_logon = nullptr;
    LPMAPILOGOFF m_logoff = nullptr;
    // The session handle is pointer-sized on 64-bit systems; MAPILogon
    // writes the whole of it.
    LHANDLE m_session = 0;
    HWND m_owner = nullptr;
};
