// The handheld manager's COM component as the program sees it: the class and
// interface identifiers, the interfaces in the exact order of their method
// tables, and the callback interface that the program implements.
//
// The component ships with the handheld maker's desktop manager, so these
// declarations are written from its published method table, not generated
// from a type library. Positions that the program never calls are kept as
// placeholders (Reserved*) so that every later method lands on its right
// vtable slot; an implementation answers them with E_NOTIMPL.
//
// The same header serves the program (device/) and the handheld simulator
// (tools/handheld_sim/), so both sides agree on the layout by construction.
// Identifiers are plain GUID constants, so no compiler support for __uuidof
// is needed; with mingw-w64 __uuidof works as well through __CRT_UUID_DECL.
#pragma once

#include <objbase.h>
#include <unknwn.h>

// --- Identifiers ------------------------------------------------------------

// HhManagerClass: the creatable class of the handheld manager.
static const CLSID CLSID_HhManagerClass = {
    0xBA3D0120, 0xE617, 0x4F66, {0xAD, 0xCA, 0x58, 0x5C, 0xC2, 0xFB, 0x86, 0xDB}};

static const IID IID_HhManager = {
    0xC716830B, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};
static const IID IID_HhDeviceList = {
    0xC716830D, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};
static const IID IID_HhDevice = {
    0xC716830E, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};
static const IID IID_HhChannel = {
    0xC7168311, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};
static const IID IID_HhChannelSink = {
    0xC7168312, 0xA0F4, 0x46DF, {0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E}};

// The component is created with every server context the runtime may pick:
// in-process server, in-process handler, local server and remote server.
static const DWORD kHhManagerClsctx = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                                      CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;  // 0x17

// The companion application on the handheld listens on this channel.
static const wchar_t kHhChannelName[] = L"HH_USBClient";

// The password challenge hands back a SHA-1 digest of this many bytes.
static const int kHhDigestSize = 20;

// --- Interfaces ---------------------------------------------------------------

struct HhManager;
struct HhDeviceList;
struct HhDevice;
struct HhChannel;
struct HhChannelSink;

// The manager: knows the handhelds attached by USB.
struct HhManager : public IUnknown {
    // 1: the list of attached handhelds (an owned reference).
    virtual HRESULT STDMETHODCALLTYPE GetDeviceList(HhDeviceList** list) = 0;
};

struct HhDeviceList : public IUnknown {
    // 1: number of attached handhelds.
    virtual HRESULT STDMETHODCALLTYPE GetCount(LONG* count) = 0;
    // 2: the handheld at index (0 is the first one), an owned reference.
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LONG index, HhDevice** device) = 0;
};

struct HhDevice : public IUnknown {
    // 1: not used by the program.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    // 2: opens the named data channel to an application on the handheld and
    // hands it the caller's callback. The password challenge of the callback
    // may be called during this call, on the caller's thread; a refused
    // challenge fails the open. On success *channel is an owned reference.
    virtual HRESULT STDMETHODCALLTYPE OpenChannel(LPCWSTR name, HhChannelSink* sink,
                                                  HhChannel** channel) = 0;
};

struct HhChannel : public IUnknown {
    // 1 to 3: not used by the program.
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    // 4: fills buffer with one received packet (two leading bytes, the text,
    // a zero byte); *result is non-zero when a packet was read, 0 otherwise.
    virtual HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, LONG size, LONG* result) = 0;
    // 5: sends one packet of exactly length bytes.
    virtual HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG length) = 0;
};

// The callback interface that the program implements and hands to
// HhDevice::OpenChannel. Methods 3 and 4 arrive on the component's own
// threads, never inside one of the program's calls.
struct HhChannelSink : public IUnknown {
    // 1: an unnamed notification; the program does nothing with it.
    virtual HRESULT STDMETHODCALLTYPE OnNotification() = 0;
    // 2: the handheld asks for its password. remainingAttempts is how many
    // tries are left; the answer is the 20-byte SHA-1 digest of the password
    // written to digest (S_OK), or a refusal (E_FAIL).
    virtual HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG remainingAttempts,
                                                          BYTE* digest) = 0;
    // 3: a packet has arrived and can be read with HhChannel::Read.
    virtual HRESULT STDMETHODCALLTYPE OnDataArrived() = 0;
    // 4: the channel has gone.
    virtual HRESULT STDMETHODCALLTYPE OnChannelClosed() = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(HhManager, 0xC716830B, 0xA0F4, 0x46DF, 0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E)
__CRT_UUID_DECL(HhDeviceList, 0xC716830D, 0xA0F4, 0x46DF, 0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E)
__CRT_UUID_DECL(HhDevice, 0xC716830E, 0xA0F4, 0x46DF, 0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E)
__CRT_UUID_DECL(HhChannel, 0xC7168311, 0xA0F4, 0x46DF, 0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E)
__CRT_UUID_DECL(HhChannelSink, 0xC7168312, 0xA0F4, 0x46DF, 0xB8, 0x2A, 0x54, 0x8C, 0xFB, 0x08, 0x75, 0x5E)
#endif
