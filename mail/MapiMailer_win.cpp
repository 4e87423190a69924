// Simple MAPI hand-off. Every structure MAPISendMail reads is built here on
// the stack or in vectors that outlive the call; the strings are copied into
// buffers of our own because the interface takes non-const text pointers.
// The attachment array is sized by the structure itself: its entries are
// pointer-sized records, larger on 64-bit systems than on 32-bit ones.
#include "mail/MapiMailer.h"

#include <cstring>

namespace {

template <class Fn>
Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// A zero-terminated, writable copy of a text.
std::vector<char> Buffer(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return buffer;
}

}  // namespace

MapiMailer::MapiMailer(HWND owner) : m_session(0), m_owner(owner) {
    m_library = ::LoadLibraryA("Mapi32.dll");
    if (m_library) {
        m_sendMail = Resolve<LPMAPISENDMAIL>(m_library, "MAPISendMail");
        m_logon = Resolve<LPMAPILOGON>(m_library, "MAPILogon");
        m_logoff = Resolve<LPMAPILOGOFF>(m_library, "MAPILogoff");
    }
    if (m_library && m_logon) {
        // A failed logon is not acted upon: the session stays 0 and the send
        // is attempted anyway; its own result decides.
        LHANDLE session = 0;
        if (m_logon(reinterpret_cast<ULONG_PTR>(m_owner), nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0,
                     &session) == SUCCESS_SUCCESS) {
            m_session = session;
        }
    }
}

MapiMailer::~MapiMailer() {
    if (m_library && m_logoff) m_logoff(m_session, reinterpret_cast<ULONG_PTR>(m_owner), 0, 0);
    if (m_library) ::FreeLibrary(m_library);
}

bool MapiMailer::Send(const std::string& address, const std::string& subject, const std::string& body,
                      const std::vector<std::string>& attachments) {
    if (!m_library || !m_sendMail) return false;
    // An address that does not fit the recipient's address buffer, or that
    // holds a zero byte (the mail client would see a different address), is
    // refused rather than cut.
    if (address.size() > kMaxAddressLength || address.find('\0') != std::string::npos) return false;

    std::vector<char> name = Buffer(address);
    char recipientAddress[kAddressBufferSize] = {};
    std::memcpy(recipientAddress, "SMTP:", 5);
    std::memcpy(recipientAddress + 5, address.data(), address.size());

    MapiRecipDesc recipient{};
    recipient.ulReserved = 0;
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = name.data();
    recipient.lpszAddress = recipientAddress;
    recipient.ulEIDSize = 0;
    recipient.lpEntryID = nullptr;

    std::vector<std::vector<char>> paths;
    paths.reserve(attachments.size());
    for (const std::string& path : attachments) paths.push_back(Buffer(path));
    std::vector<MapiFileDesc> files(attachments.size(), MapiFileDesc{});  // zeroed
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i].nPosition = static_cast<ULONG>(-1);  // not placed inside the body text
        files[i].lpszPathName = paths[i].data();
        files[i].lpszFileName = nullptr;  // the mail client names it after the path
        files[i].lpFileType = nullptr;
    }

    std::vector<char> subjectText = Buffer(subject);
    std::vector<char> bodyText = Buffer(body);
    MapiMessage message{};
    message.ulReserved = 0;
    message.lpszSubject = subjectText.data();
    message.lpszNoteText = bodyText.data();
    message.lpszMessageType = nullptr;
    message.lpszDateReceived = nullptr;
    message.lpszConversationID = nullptr;
    message.flFlags = 0;
    message.lpOriginator = nullptr;
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();

    const ULONG result =
        m_sendMail(m_session, reinterpret_cast<ULONG_PTR>(m_owner), &message, MAPI_DIALOG, 0);
    return result == SUCCESS_SUCCESS;
}
