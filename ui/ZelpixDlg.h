// The main dialog: the program's only top-level window. It owns the current
// picture, the device preview (three panes), the USB channel and the
// commands, and offers the device link the window operations it needs
// (MainWindowLink). Worker threads reach the window only through those
// operations, which carry every window change over to this window's thread
// as a synchronous message.
#pragma once
#include "device/Connection.h"
#include "device/PictureTransfer.h"
#include "device/UsbChannel.h"
#include "tooltip/HtToolTip.h"
#include "imaging/ImageOps.h"
#include "imaging/LoadedPicture.h"
#include "imaging/PreviewPanes.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"
#include "ui/DefaultSettings.h"
#include "ui/ImageButton.h"
#include "ui/LoadingDlg.h"
#include "ui/PictureDecoder.h"

#include <shellapi.h>

#include <atomic>
#include <functional>
#include <string>

// Sent to the main window by the real-size pane while the user drags the
// picture: wParam 0 (line left/up) or 1 (line right/down), lParam WM_HSCROLL
// or WM_VSCROLL.
constexpr UINT kDragScrollMessage = WM_USER + 25;

class CZelpixDlg : public tk::CDialog, public PictureSendWindow {
public:
    explicit CZelpixDlg(HWND parent = nullptr);
    ~CZelpixDlg() override;

    // Operations other parts of the program use.
    void SetConnectionButtons(bool connectEnabled) override;
    std::string GetStatusText();
    void Relayout();
    void RefreshPreview();
    // Opens `path` as Open picture does once a file was chosen: the picture
    // is decoded on the decoding thread while the window keeps answering
    // and shows the wait cursor; the title, the sizes and the preview change
    // when it is ready. The commands that act on a picture wait until then
    // (the last one asked for runs), and a newer choice replaces this one.
    void OpenPictureFile(const std::wstring& path);
    // True while a picture chosen last is still being decoded.
    bool PictureBusy() const { return m_decoder.Busy(); }
    void Disconnect();
    // The picture as placed on the simulated screen, cut to the screen and
    // saved as JPEG in "Sent Pictures". True when the file was written.
    bool PrepareDevicePicture(const std::wstring& path, int pixelFormat, std::wstring* writtenPath);

    // MainWindowLink
    void EnableButton(int id, bool enable) override;
    void SetStatusText(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void SetScreenSize(int width, int height) override;
    void ShowConnectedPreview() override;
    void ShowPreviewLabel(bool show) override;

    // Opens `path` as Open picture does once a file was chosen; a path that
    // is not an existing file is ignored, as the file dialog never returns
    // one. While a modal window or a transfer keeps this window disabled,
    // the picture waits until the window is enabled again.
    void OpenPictureWhenFree(const std::wstring& path);

    const LoadedPicture& Picture() const { return m_picture; }
    UsbChannel& Channel() { return m_usbChannel; }
    tooltip::CHtToolTip& ToolTip() { return m_toolTip; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    // Enter and Escape end nothing: the run ends only through Exit or the
    // close box.
    void OnOK() override {}
    void OnCancel() override {}
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    // The keyboard shortcuts: Ctrl+O, + and -, the arrow keys.
    bool PreTranslateMessage(MSG& msg) override;

private:
    void OnConnect();
    void OnDisconnect();
    void OnOpenPicture();
    void OnImageSize();
    void OnSendToDevice();
    void OnSendByMail();
    void OnZoom(bool in);
    // The end of Open picture, once the decoding thread has the picture:
    // the record, the title and the sizes, the preview, the buttons.
    void OnPictureDecoded(unsigned request);
    void ShowLoadedPicture(const std::wstring& path, DecodedPictureRef picture);
    // A command that acts on the picture, asked for while it is decoded:
    // kept (the last one wins) to run once it is ready. True when kept.
    bool DeferWhileDecoding(int id);
    void OnDropFiles(HDROP drop);
    void OpenPendingPicture();
    void OnAbout();
    void OnExit();
    void CreateToolTips();
    // Stops every thread that uses this window or its members, then asks
    // the modal run to end with exit code 0.
    void EndRun();
    // The end of the program's work, at any moment, idempotent: a transfer
    // stops at its current wait or before its next record (it is never
    // reported as a success), the connection ends with "Bye" where it still
    // can, and the sending thread and the channel's worker are joined. The
    // window stays; nothing a thread used has gone yet. A mail thread is
    // left to its mail client: it holds copies of what it uses.
    void StopWork();
    void RefreshStatusText() { SetStatusText(GetStatusText()); }
    // Runs `action` on this window's thread (at once when already there).
    void OnWindowThread(const std::function<void()>& action);
    // The look the channel's worker asks for when a connection ends.
    void ShowDisconnectedDisplay();
    PlacedPicture PlacedOnScreen();
    CTexturedIconButton* ButtonById(int id);

    // Windows and state first, the threads' owners last: members go in the
    // reverse order, so the threads' owners would go first. The destructor
    // does not rely on it: it stops and joins every thread (StopWork) before
    // any member goes.
    CTexturedIconButton m_btnImageSize;
    CTexturedIconButton m_btnSendToDevice;
    CTexturedIconButton m_btnSendByMail;
    CTexturedIconButton m_btnOpen;
    CTexturedIconButton m_btnZoomIn;
    CTexturedIconButton m_btnZoomOut;
    CTexturedIconButton m_btnConnect;
    CTexturedIconButton m_btnDisconnect;
    tk::CEdit m_editWidth;
    tk::CEdit m_editHeight;
    CRealPictDlg m_realPictDlg;
    CScrollPreviewDlg m_scrollPreviewDlg;
    CDeviceOutDlg m_deviceOutDlg;
    CDefaultSettings m_defaultSettings;
    tk::CStatusBar m_statusBar;
    LoadedPicture m_picture;
    std::wstring m_sentPicturesFolder;
    tk::Icon m_icon;
    tk::Icon m_iconSmall;
    int m_minPreviewWidth = 320;
    tk::CStatic m_previewFrame;
    tk::CStatic m_previewLabel;
    tooltip::CHtToolTip m_toolTip;
    DWORD m_windowThread = 0;
    // A picture handed over (command line, drop, second start) that waits
    // for this window to be enabled.
    std::wstring m_pendingPicture;
    // The decoded picture the preview draws from.
    DecodedPictureRef m_decoded;
    std::wstring m_decodingPath;
    int m_deferredCommand = 0;
    // Set once the program ends: the workers then stop and show nothing.
    std::atomic<bool> m_ending{false};
    // The threads' owners: the decoding thread, the channel's worker and the
    // sending thread.
    CPictureDecoder m_decoder;
    UsbChannel m_usbChannel;
    CLoadingDlg m_loadingDlg;
};
