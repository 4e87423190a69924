// Simple MAPI hand-off. Every structure MAPISendMail reads is built here on
// the stack or in vectors that outlive the call; the strings are copied into
// buffers of our own because the interface takes non-const text pointers.
// The attachment array is sized by the structure itself: its entries are
// pointer-sized records, larger on 64-bit systems than on 32-bit ones.
#include "mail/MapiMailer.h"

#include <cstring>

#include "toolkit/Text.h"

namespace {

template <class Fn>
Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

// The UTF-16 forms of the Simple MAPI structures: the same layout as the
// ANSI ones, with wide text.
struct MapiRecipDescW {
    ULONG ulReserved;
    ULONG ulRecipClass;
    PWSTR lpszName;
    PWSTR lpszAddress;
    ULONG ulEIDSize;
    LPVOID lpEntryID;
};
struct MapiFileDescW {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    PWSTR lpszPathName;
    PWSTR lpszFileName;
    LPVOID lpFileType;
};
struct MapiMessageW {
    ULONG ulReserved;
    PWSTR lpszSubject;
    PWSTR lpszNoteText;
    PWSTR lpszMessageType;
    PWSTR lpszDateReceived;
    PWSTR lpszConversationID;
    FLAGS flFlags;
    MapiRecipDescW* lpOriginator;
    ULONG nRecipCount;
    MapiRecipDescW* lpRecips;
    ULONG nFileCount;
    MapiFileDescW* lpFiles;
};
using SendMailW = ULONG(WINAPI*)(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

template <class C> struct Mapi;
template <> struct Mapi<char> {
    using Recip = MapiRecipDesc;
    using File = MapiFileDesc;
    using Message = MapiMessage;
};
template <> struct Mapi<wchar_t> {
    using Recip = MapiRecipDescW;
    using File = MapiFileDescW;
    using Message = MapiMessageW;
};

// A zero-terminated, writable copy of a text.
template <class C>
std::vector<C> Buffer(const std::basic_string<C>& text) {
    std::vector<C> buffer(text.begin(), text.end());
    buffer.push_back(C(0));
    return buffer;
}

// Builds the message in `C` text (every structure lives until `send`
// returns) and hands it to `send`. `fileNames` empty leaves the naming of
// each attachment to the mail client.
template <class C, class SendFn>
ULONG BuildAndSend(const std::basic_string<C>& address, const std::basic_string<C>& subject,
                   const std::basic_string<C>& body, const std::vector<std::basic_string<C>>& attachments,
                   const std::vector<std::basic_string<C>>& fileNames, SendFn send) {
    using M = Mapi<C>;
    std::vector<C> name = Buffer(address);
    const std::basic_string<C> smtp{C('S'), C('M'), C('T'), C('P'), C(':')};
    std::vector<C> recipientAddress = Buffer(smtp + address);

    typename M::Recip recipient{};
    recipient.ulReserved = 0;
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = name.data();
    recipient.lpszAddress = recipientAddress.data();
    recipient.ulEIDSize = 0;
    recipient.lpEntryID = nullptr;

    std::vector<std::vector<C>> paths, names;
    for (const auto& path : attachments) paths.push_back(Buffer(path));
    for (const auto& file : fileNames) names.push_back(Buffer(file));
    std::vector<typename M::File> files(attachments.size(), typename M::File{});  // zeroed
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i].nPosition = static_cast<ULONG>(-1);  // not placed inside the body text
        files[i].lpszPathName = paths[i].data();
        files[i].lpszFileName = i < names.size() ? names[i].data() : nullptr;
        files[i].lpFileType = nullptr;
    }

    std::vector<C> subjectText = Buffer(subject);
    std::vector<C> bodyText = Buffer(body);
    typename M::Message message{};
    message.lpszSubject = subjectText.data();
    message.lpszNoteText = bodyText.data();
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();
    return send(&message);
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

MapiMailer::MapiMailer(HWND owner) : m_session(0), m_owner(owner) {
    m_library.Reset(::LoadLibraryA("Mapi32.dll"));
    if (m_library) {
        m_sendMail = Resolve<LPMAPISENDMAIL>(m_library.Get(), "MAPISendMail");
        m_sendMailW = m_library.Proc<void*>("MAPISendMailW");
        m_logon = Resolve<LPMAPILOGON>(m_library.Get(), "MAPILogon");
        m_logoff = Resolve<LPMAPILOGOFF>(m_library.Get(), "MAPILogoff");
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
    // The library goes with its owner, after the log-off.
}

bool MapiMailer::Send(const std::string& address, const std::string& subject, const std::string& body,
                      const std::vector<std::string>& attachments) {
    std::vector<std::wstring> wide;
    for (const std::string& path : attachments) wide.push_back(tk::ToWide(path));
    return SendWide(address, subject, body, wide);
}

bool MapiMailer::SendWide(const std::string& address, const std::string& subject, const std::string& body,
                          const std::vector<std::wstring>& attachments) {
    if (!m_library || (!m_sendMail && !m_sendMailW)) return false;
    // An address that does not fit the recipient's address buffer, or that
    // holds a zero byte (the mail client would see a different address), is
    // refused rather than cut.
    if (address.size() > kMaxAddressLength || address.find('\0') != std::string::npos) return false;
    const ULONG_PTR ui = reinterpret_cast<ULONG_PTR>(m_owner);

    if (m_sendMailW) {
        std::vector<std::wstring> names;
        for (const std::wstring& path : attachments) names.push_back(FileNameOf(path));
        const auto sendW = reinterpret_cast<SendMailW>(m_sendMailW);
        return BuildAndSend<wchar_t>(tk::ToWide(address), tk::ToWide(subject), tk::ToWide(body), attachments, names,
                                     [&](MapiMessageW* m) { return sendW(m_session, ui, m, MAPI_DIALOG, 0); }) ==
               SUCCESS_SUCCESS;
    }
    std::vector<std::string> ansi(attachments.size());
    for (std::size_t i = 0; i < attachments.size(); ++i)
        if (!tk::ToAnsiExactly(attachments[i], &ansi[i])) return false;
    return BuildAndSend<char>(address, subject, body, ansi, {},
                              [&](MapiMessage* m) { return m_sendMail(m_session, ui, m, MAPI_DIALOG, 0); }) ==
           SUCCESS_SUCCESS;
}
