// A capturing Simple MAPI library for the mail tests. Every call appends
// what it received to the file named by QUORVEL_MAPI_CAPTURE, one
// "key=value" line per field, so a test can check the exact structures the
// program built. Its behaviour is set through the environment:
//   QUORVEL_MAPI_SEND_RESULT   result of MAPISendMail (default 0, success)
//   QUORVEL_MAPI_LOGON_RESULT  result of MAPILogon (default 0); a failing
//                              logon still writes a session value, which the
//                              caller must not use
//   QUORVEL_MAPI_HOLD_EVENT    name of an event MAPISendMail waits for before
//                              it returns, like a compose window left open
//                              (made when nobody has made it: then it holds
//                              for the full minute); the attachments are read
//                              again afterwards
//   QUORVEL_MAPI_KEEP_DIR      folder that receives a copy of each attachment
//                              as it is when MAPISendMail returns, named
//                              "<n>-<file name>" (n counts the folder's copies)
// Built with QUORVEL_MAPI_NO_SEND it lacks MAPISendMail; built with
// QUORVEL_MAPI_WIDE it also has MAPISendMailW, whose text it writes down as
// UTF-8 under the call name "MAPISendMailW".
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Handed out by MAPILogon: wider than 32 bits, so a session kept in a 32-bit
// field shows up as a different value in the later calls.
const ULONG_PTR kSession = static_cast<ULONG_PTR>(0x5E5510A11CEull);

std::string Env(const char* name) {
    char value[1024] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    if (n == 0 || n >= sizeof(value)) return std::string();
    return std::string(value, n);
}

ULONG EnvNumber(const char* name, ULONG fallback) {
    std::string v = Env(name);
    return v.empty() ? fallback : static_cast<ULONG>(std::strtoul(v.c_str(), nullptr, 0));
}

std::string Hex(ULONG_PTR v) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string("(null)"); }
std::string Pointer(const void* p) { return p ? std::string("set") : std::string("(null)"); }

class Capture {
public:
    void Add(const std::string& key, const std::string& value) { m_text += key + "=" + value + "\r\n"; }
    void Add(const std::string& key, unsigned long long value) { Add(key, std::to_string(value)); }
    // One write per call, so lines of different calls never interleave.
    void Write() {
        std::string path = Env("QUORVEL_MAPI_CAPTURE");
        if (path.empty()) return;
        HANDLE f = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        WriteFile(f, m_text.data(), static_cast<DWORD>(m_text.size()), &written, nullptr);
        CloseHandle(f);
        m_text.clear();
    }

private:
    std::string m_text;
};

#ifndef QUORVEL_MAPI_NO_SEND
// Paths arrive in the ANSI code page (MAPISendMail) or, written down from
// MAPISendMailW, in UTF-8.
UINT g_pathCodePage = CP_ACP;

std::wstring Wide(const char* path) {
    const int n = MultiByteToWideChar(g_pathCodePage, 0, path, -1, nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(g_pathCodePage, 0, path, -1, &w[0], n);
    w.resize(wcslen(w.c_str()));
    return w;
}

std::string Utf8(const wchar_t* text) {
    if (!text) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, &s[0], n, nullptr, nullptr);
    s.resize(strlen(s.c_str()));
    return s;
}

// Size and the first 32 bytes (hex) of an attachment as it is now.
void AddFileContent(Capture& c, const std::string& prefix, const char* path) {
    if (!path) return;
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        c.Add(prefix + ".size", "missing");
        return;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(f, &size);
    unsigned char head[32] = {};
    DWORD got = 0;
    ReadFile(f, head, sizeof(head), &got, nullptr);
    CloseHandle(f);
    std::string hex;
    for (DWORD i = 0; i < got; ++i) {
        char b[3];
        std::snprintf(b, sizeof(b), "%02x", head[i]);
        hex += b;
    }
    c.Add(prefix + ".size", static_cast<unsigned long long>(size.QuadPart));
    c.Add(prefix + ".head", hex);
}
#endif

}  // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, FLAGS flFlags,
                       ULONG ulReserved, LPLHANDLE lplhSession) {
    const ULONG result = EnvNumber("QUORVEL_MAPI_LOGON_RESULT", SUCCESS_SUCCESS);
    Capture c;
    c.Add("call", "MAPILogon");
    c.Add("logon.ui", Hex(ulUIParam));
    c.Add("logon.profile", Text(lpszProfileName));
    c.Add("logon.password", Text(lpszPassword));
    c.Add("logon.flags", flFlags);
    c.Add("logon.reserved", ulReserved);
    c.Add("logon.session", Pointer(lplhSession));
    c.Add("logon.result", result);
    c.Write();
    if (lplhSession) *lplhSession = result == SUCCESS_SUCCESS ? kSession : static_cast<LHANDLE>(0xBAD);
    return result;
}

ULONG WINAPI MAPILogoff(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags, ULONG ulReserved) {
    Capture c;
    c.Add("call", "MAPILogoff");
    c.Add("logoff.session", Hex(lhSession));
    c.Add("logoff.ui", Hex(ulUIParam));
    c.Add("logoff.flags", flFlags);
    c.Add("logoff.reserved", ulReserved);
    c.Write();
    return SUCCESS_SUCCESS;
}

#ifndef QUORVEL_MAPI_NO_SEND
static ULONG CaptureSend(const char* call, LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage,
                         FLAGS flFlags, ULONG ulReserved) {
    const ULONG result = EnvNumber("QUORVEL_MAPI_SEND_RESULT", SUCCESS_SUCCESS);
    Capture c;
    c.Add("call", call);
    c.Add("send.session", Hex(lhSession));
    c.Add("send.ui", Hex(ulUIParam));
    c.Add("send.flags", flFlags);
    c.Add("send.reserved", ulReserved);
    c.Add("message", Pointer(lpMessage));
    if (lpMessage) {
        const MapiMessage& m = *lpMessage;
        c.Add("message.reserved", m.ulReserved);
        c.Add("message.subject", Text(m.lpszSubject));
        c.Add("message.note", Text(m.lpszNoteText));
        c.Add("message.type", Text(m.lpszMessageType));
        c.Add("message.date", Text(m.lpszDateReceived));
        c.Add("message.conversation", Text(m.lpszConversationID));
        c.Add("message.flags", m.flFlags);
        c.Add("message.originator", Pointer(m.lpOriginator));
        c.Add("message.recipients", m.nRecipCount);
        c.Add("message.recipientArray", Pointer(m.lpRecips));
        c.Add("message.files", m.nFileCount);
        c.Add("message.fileArray", Pointer(m.lpFiles));
        for (ULONG i = 0; m.lpRecips && i < m.nRecipCount; ++i) {
            const MapiRecipDesc& r = m.lpRecips[i];
            const std::string p = "recipient." + std::to_string(i);
            c.Add(p + ".reserved", r.ulReserved);
            c.Add(p + ".class", r.ulRecipClass);
            c.Add(p + ".name", Text(r.lpszName));
            c.Add(p + ".address", Text(r.lpszAddress));
            c.Add(p + ".eidSize", r.ulEIDSize);
            c.Add(p + ".eid", Pointer(r.lpEntryID));
        }
        for (ULONG i = 0; m.lpFiles && i < m.nFileCount; ++i) {
            const MapiFileDesc& f = m.lpFiles[i];
            const std::string p = "file." + std::to_string(i);
            c.Add(p + ".reserved", f.ulReserved);
            c.Add(p + ".flags", f.flFlags);
            c.Add(p + ".position", f.nPosition);
            c.Add(p + ".path", Text(f.lpszPathName));
            c.Add(p + ".name", Text(f.lpszFileName));
            c.Add(p + ".type", Pointer(f.lpFileType));
            AddFileContent(c, p, f.lpszPathName);
        }
    }
    c.Write();

    const std::string hold = Env("QUORVEL_MAPI_HOLD_EVENT");
    if (!hold.empty()) {
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
        if (event) {
            WaitForSingleObject(event, 60000);
            CloseHandle(event);
        }
        c.Add("call", std::string(call) + ".return");
        for (ULONG i = 0; lpMessage && lpMessage->lpFiles && i < lpMessage->nFileCount; ++i)
            AddFileContent(c, "file." + std::to_string(i) + ".atReturn", lpMessage->lpFiles[i].lpszPathName);
    }
    const std::string keep = Env("QUORVEL_MAPI_KEEP_DIR");
    for (ULONG i = 0; !keep.empty() && lpMessage && lpMessage->lpFiles && i < lpMessage->nFileCount; ++i) {
        const char* path = lpMessage->lpFiles[i].lpszPathName;
        if (!path) continue;
        std::string name = path;
        name = name.substr(name.find_last_of("\\/") + 1);
        // The library is loaded anew for every mail: the folder counts.
        std::string kept = "failed";
        for (int n = 1; n < 10000; ++n) {
            const std::string target = keep + "\\" + std::to_string(n) + "-" + name;
            if (CopyFileW(Wide(path).c_str(), Wide(target.c_str()).c_str(), TRUE)) {
                kept = target;
                break;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) break;
        }
        c.Add("file." + std::to_string(i) + ".kept", kept);
    }
    c.Add("send.result", result);
    c.Write();
    return result;
}

ULONG WINAPI MAPISendMail(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage, FLAGS flFlags,
                          ULONG ulReserved) {
    g_pathCodePage = CP_ACP;
    return CaptureSend("MAPISendMail", lhSession, ulUIParam, lpMessage, flFlags, ulReserved);
}
#endif

#ifdef QUORVEL_MAPI_WIDE
// The wide structures, laid out as the ANSI ones with wide text.
struct RecipW { ULONG ulReserved, ulRecipClass; PWSTR lpszName, lpszAddress; ULONG ulEIDSize; LPVOID lpEntryID; };
struct FileW { ULONG ulReserved, flFlags, nPosition; PWSTR lpszPathName, lpszFileName; LPVOID lpFileType; };
struct MessageW {
    ULONG ulReserved;
    PWSTR lpszSubject, lpszNoteText, lpszMessageType, lpszDateReceived, lpszConversationID;
    FLAGS flFlags;
    RecipW* lpOriginator;
    ULONG nRecipCount;
    RecipW* lpRecips;
    ULONG nFileCount;
    FileW* lpFiles;
};

// Written down through the ANSI capture, with every text in UTF-8; a null
// text stays null.
ULONG WINAPI MAPISendMailW(LHANDLE lhSession, ULONG_PTR ulUIParam, MessageW* m, FLAGS flFlags, ULONG ulReserved) {
    if (!m) return CaptureSend("MAPISendMailW", lhSession, ulUIParam, nullptr, flFlags, ulReserved);
    std::vector<std::string> texts;
    texts.reserve(64);
    auto keep = [&texts](const wchar_t* w) -> LPSTR {
        if (!w) return nullptr;
        texts.push_back(Utf8(w));
        return &texts.back()[0];
    };
    static MapiRecipDesc originator{};
    std::vector<MapiRecipDesc> recips(m->lpRecips ? m->nRecipCount : 0);
    std::vector<MapiFileDesc> files(m->lpFiles ? m->nFileCount : 0);
    if (recips.size() + files.size() > 28) return MAPI_E_FAILURE;  // the texts must not move
    for (size_t i = 0; i < recips.size(); ++i) {
        const RecipW& r = m->lpRecips[i];
        recips[i] = MapiRecipDesc{r.ulReserved, r.ulRecipClass, keep(r.lpszName), keep(r.lpszAddress), r.ulEIDSize, r.lpEntryID};
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const FileW& f = m->lpFiles[i];
        files[i] = MapiFileDesc{f.ulReserved, f.flFlags, f.nPosition, keep(f.lpszPathName), keep(f.lpszFileName), f.lpFileType};
    }
    MapiMessage a{m->ulReserved, keep(m->lpszSubject), keep(m->lpszNoteText), keep(m->lpszMessageType),
                  keep(m->lpszDateReceived), keep(m->lpszConversationID), m->flFlags,
                  m->lpOriginator ? &originator : nullptr, m->nRecipCount, m->lpRecips ? recips.data() : nullptr,
                  m->nFileCount, m->lpFiles ? files.data() : nullptr};
    g_pathCodePage = CP_UTF8;
    return CaptureSend("MAPISendMailW", lhSession, ulUIParam, &a, flFlags, ulReserved);
}
#endif

}  // extern "C"
