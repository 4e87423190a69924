// The main dialog.
#include "ui/ZelpixDlg.h"

#include "app/CommandLinePicture.h"
#include "app/Instance.h"
#include "app/Log.h"
#include "app/LogFormat.h"
#include "app/ProgramFiles.h"
#include "app/ShortcutKeys.h"
#include "app/StartArguments.h"
#include "device/PasswordDlg.h"
#include "device/TransferRecords.h"
#include "effects/EffectMath.h"
#include "imaging/PictureExtensions.h"
#include "tooltip/HtmlLabel.h"
#include "mail/SendByMail.h"
#include "resources/resource.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"
#include "ui/AboutText.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace {

const char* const kMainTitle = "Quorvel Photo Manager";
// Runs a std::function (lParam) on the window's thread.
constexpr UINT kInvokeMessage = WM_APP + 1;
// Opens the picture that waits in m_pendingPicture.
constexpr UINT kOpenPendingMessage = WM_APP + 2;
// The decoding thread has the picture of request wParam.
constexpr UINT kPictureDecodedMessage = WM_APP + 3;


class CAboutDlg : public tk::CDialog {
public:
    explicit CAboutDlg(HWND parent) : tk::CDialog(IDD_ABOUT, parent) { Bind(IDC_ABOUT_LABEL, m_label); }
protected:
    BOOL OnInitDialog() override {
        m_label.Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kAboutText));
        return TRUE;
    }
private:
    tooltip::CHtmlLabel m_label;
};

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

CZelpixDlg::CZelpixDlg(HWND parent) : tk::CDialog(IDD_MAIN, parent), m_defaultSettings(nullptr) {
    Bind(IDC_IMAGE_SIZE, m_btnImageSize);
    Bind(IDC_SEND_TO_DEVICE, m_btnSendToDevice);
    Bind(IDC_SEND_BY_MAIL, m_btnSendByMail);
    Bind(IDC_OPEN_PICTURE, m_btnOpen);
    Bind(IDC_ZOOM_IN, m_btnZoomIn);
    Bind(IDC_ZOOM_OUT, m_btnZoomOut);
    Bind(IDC_CONNECT, m_btnConnect);
    Bind(IDC_DISCONNECT, m_btnDisconnect);
    Bind(IDC_WIDTH, m_editWidth);
    Bind(IDC_HEIGHT, m_editHeight);
    Bind(IDC_PREVIEW_FRAME, m_previewFrame);
    Bind(IDC_PREVIEW_LABEL, m_previewLabel);
    m_icon.Reset(static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    m_iconSmall.Reset(static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                      ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), 0)));
    m_usbChannel.SetDisconnectedDisplay([this] { ShowDisconnectedDisplay(); });
    m_usbChannel.SetPasswordAnswer(&AnswerHandheldPassword);
}

CZelpixDlg::~CZelpixDlg() {
    // Every thread must be done with this window and its members before
    // anything goes; then the window, while the bound members still exist.
    StopWork();
    Destroy();
}

// ------------------------------------------------------------ initialisation

BOOL CZelpixDlg::OnInitDialog() {
    m_windowThread = ::GetCurrentThreadId();
    m_defaultSettings.SetParent(Hwnd());
    if (!::GetMenu(Hwnd())) {
        HMENU menu = ::LoadMenuA(tk::ResourceModule(), MAKEINTRESOURCEA(IDR_MAIN_MENU));
        if (menu) ::SetMenu(Hwnd(), menu);
    }
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_iconSmall.Get()));
    SetText(kMainTitle);
    // A second start finds the running program by this mark.
    quorvel::MarkMainWindow(Hwnd(), true);

    m_deviceOutDlg.Create(Hwnd());
    m_scrollPreviewDlg.Create(Hwnd());
    m_realPictDlg.Create(m_deviceOutDlg.Hwnd());
    m_scrollPreviewDlg.SetRealPane(&m_realPictDlg);
    m_deviceOutDlg.SetRealPane(&m_realPictDlg);
    // The panes carry their template numbers as control ids, so that they can
    // be found like any other control of the window.
    ::SetWindowLongPtrA(m_deviceOutDlg.Hwnd(), GWLP_ID, IDD_DEVICE_OUT);
    ::SetWindowLongPtrA(m_scrollPreviewDlg.Hwnd(), GWLP_ID, IDD_SCROLL_PREVIEW);
    ::SetWindowLongPtrA(m_realPictDlg.Hwnd(), GWLP_ID, IDD_REAL_PICT);

    // The buttons in their set-up order. Each names itself by the words of
    // its tip (a screen reader reads them); the words are not drawn.
    struct {
        CTexturedIconButton* button;
        int enabled, disabled;
        const char* name;
    } looks[] = {
        {&m_btnOpen, IDI_OPEN_PICTURE, IDI_OPEN_PICTURE_DISABLED, "Open picture"},
        {&m_btnSendByMail, IDI_SEND_BY_MAIL, IDI_SEND_BY_MAIL_DISABLED, "Send by Mail"},
        {&m_btnSendToDevice, IDI_SEND_TO_DEVICE, IDI_SEND_TO_DEVICE_DISABLED, "Send picture to device"},
        {&m_btnImageSize, IDI_IMAGE_SIZE, IDI_IMAGE_SIZE_DISABLED, "Image size"},
        {&m_btnZoomIn, IDI_ZOOM_IN, IDI_ZOOM_IN_DISABLED, "Zoom In (+)"},
        {&m_btnZoomOut, IDI_ZOOM_OUT, IDI_ZOOM_OUT_DISABLED, "Zoom Out (-)"},
        {&m_btnConnect, IDI_CONNECT, IDI_CONNECT_DISABLED, "Connect to device"},
        {&m_btnDisconnect, IDI_DISCONNECT, IDI_DISCONNECT_DISABLED, "Disconnect from device"},
    };
    for (auto& look : looks) {
        CTexturedIconButton& b = *look.button;
        b.SetFlatLook(true);
        b.LoadIcons(look.enabled, CTexturedIconButton::AlignCentreBoth, 0, 0);
        b.SetStateIcons(look.enabled, look.disabled);
        b.GenerateTexture(CTexturedIconButton::TextureSoftBump, 12, 12, 12, RGB(12, 0, 0));
        b.SetLabelShown(false);
        b.SetText(look.name);
    }
    m_btnSendByMail.Enable(false);
    m_btnSendToDevice.Enable(false);
    m_btnImageSize.Enable(false);
    m_btnDisconnect.Enable(false);

    m_sentPicturesFolder = CreateSentPicturesFolder();
    CreateToolTips();

    m_statusBar.Create(Hwnd(), IDC_STATUS_BAR);
    RefreshStatusText();

    Relayout();
    m_deviceOutDlg.Show(true);
    m_realPictDlg.Show(true);
    m_scrollPreviewDlg.Show(true);
    m_scrollPreviewDlg.SetScrollRanges(0, 0);

    // Pictures dropped on the window or on any of its panes open.
    for (HWND wnd : {Hwnd(), m_deviceOutDlg.Hwnd(), m_scrollPreviewDlg.Hwnd(), m_realPictDlg.Hwnd()})
        if (wnd) ::DragAcceptFiles(wnd, TRUE);
    // A picture from the command line opens once the window is up.
    if (!m_pendingPicture.empty()) ::PostMessageA(Hwnd(), kOpenPendingMessage, 0, 0);
    return TRUE;
}

void CZelpixDlg::CreateToolTips() {
    m_toolTip.CreateTipWindow(Hwnd(), true);
    const struct { CTexturedIconButton* button; const char* text; } tools[] = {
        {&m_btnImageSize, "Image size"},
        {&m_btnSendToDevice, "Send picture to device"},
        {&m_btnSendByMail, "Send by Mail"},
        {&m_btnOpen, "Open picture"},
        {&m_btnZoomIn, "Zoom In (+)"},
        {&m_btnZoomOut, "Zoom Out (-)"},
        {&m_btnConnect, "Connect to device"},
        {&m_btnDisconnect, "Disconnect from device"},
    };
    for (const auto& tool : tools) m_toolTip.RegisterTool(tool.button->Hwnd(), tool.text, nullptr, 0);
    m_toolTip.SetWrapWidth(300);
    m_toolTip.SetFillColors(0xAAEDFF, 0xF0FFFF, 0x64E6FF);
    m_toolTip.SetFrame(RGB(0, 0, 0), 1, 1);
    m_toolTip.SetFillEffect(effects::FillSoftBump, 5);
    m_toolTip.SetTiming(tooltip::CHtToolTip::TimingInitialDelay, 50);
    m_toolTip.SetBehaviourFlags(tooltip::TipRepeatShow | tooltip::TipNoAutoHide);
    // A rectangle with 2 x 2 rounded corners, 4-pixel margins and no pointer.
    const int shape[][2] = {{0, 2}, {1, 2}, {5, 0}, {2, 4}, {3, 4}, {4, 0}, {6, 0}};
    for (const auto& v : shape) m_toolTip.SetShapeValue(v[0], v[1]);
}

// ------------------------------------------------------------------ commands

bool CZelpixDlg::OnCommand(int id, int code, HWND control) {
    (void)control;
    if (code != BN_CLICKED && code != 0) return false;
    // Wine answers a click on a disabled button too; a disabled command does
    // nothing.
    if (CTexturedIconButton* button = ButtonById(id)) {
        if (!button->IsEnabled()) return true;
    }
    if (DeferWhileDecoding(id)) return true;
    switch (id) {
    case IDC_CONNECT: OnConnect(); return true;
    case IDC_DISCONNECT: OnDisconnect(); return true;
    case IDC_OPEN_PICTURE: OnOpenPicture(); return true;
    case IDC_IMAGE_SIZE: OnImageSize(); return true;
    case IDC_SEND_TO_DEVICE: OnSendToDevice(); return true;
    case IDC_SEND_BY_MAIL: OnSendByMail(); return true;
    case IDC_ZOOM_IN: OnZoom(true); return true;
    case IDC_ZOOM_OUT: OnZoom(false); return true;
    case IDM_ABOUT: OnAbout(); return true;
    case IDM_EXIT: OnExit(); return true;
    default: return false;
    }
}

std::optional<LRESULT> CZelpixDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE) EndRun();
        return std::nullopt;  // the default handling follows
    case kDragScrollMessage:
        if (m_scrollPreviewDlg.Hwnd())
            ::SendMessageA(m_scrollPreviewDlg.Hwnd(), static_cast<UINT>(lp), wp == 0 ? SB_LINELEFT : SB_LINERIGHT, 0);
        return 0;
    case kInvokeMessage:
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wp));
        return 0;
    case WM_COPYDATA: {
        // A second start of this program hands over the picture it was
        // given; wParam is a window of the sending process.
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (!copy || copy->dwData != quorvel::kOpenPictureCopyTag) return std::nullopt;
        // The path comes in UTF-8.
        const std::wstring path = WideFromUtf8(quorvel::PathFromCopyData(copy->lpData, copy->cbData));
        if (path.empty() || m_ending || !quorvel::IsAcceptableHandOver(reinterpret_cast<HWND>(wp), path)) {
            WriteLogLine("handed-over picture refused");
            return FALSE;
        }
        if (::IsIconic(Hwnd())) ::ShowWindow(Hwnd(), SW_RESTORE);
        OpenPictureWhenFree(path);
        return TRUE;
    }
    case WM_ENABLE:
        // Posted, so that whatever disabled the window has finished first.
        if (wp && !m_pendingPicture.empty()) ::PostMessageA(Hwnd(), kOpenPendingMessage, 0, 0);
        return std::nullopt;
    case kOpenPendingMessage:
        OpenPendingPicture();
        return 0;
    case kPictureDecodedMessage:
        OnPictureDecoded(static_cast<unsigned>(wp));
        return 0;
    case WM_SETCURSOR:
        if (!m_decoder.Busy() || LOWORD(lp) != HTCLIENT) return std::nullopt;
        ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
        return TRUE;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
        if (CTexturedIconButton* button = ButtonById(static_cast<int>(item->CtlID))) {
            button->DrawItem(*item);
            return TRUE;
        }
        return std::nullopt;
    }
    case WM_PAINT: {
        // The dialog's own painting is its background only; it may have
        // covered the preview, which is then painted again at once.
        { tk::PaintDC paint(Hwnd()); }
        for (HWND pane : {m_realPictDlg.Hwnd(), m_deviceOutDlg.Hwnd()})
            if (pane) ::RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    }
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_icon.Get());
    case WM_QUERYENDSESSION:
        return TRUE;  // nothing to save: the session may end
    case WM_ENDSESSION:
        // The session ends once this returns: everything is stopped and
        // joined here, and the run ends with exit code 0.
        if (wp) EndRun();
        return 0;
    case WM_DESTROY:
        quorvel::MarkMainWindow(Hwnd(), false);
        m_toolTip.DestroyTipWindow();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

CTexturedIconButton* CZelpixDlg::ButtonById(int id) {
    switch (id) {
    case IDC_CONNECT: return &m_btnConnect;
    case IDC_DISCONNECT: return &m_btnDisconnect;
    case IDC_OPEN_PICTURE: return &m_btnOpen;
    case IDC_IMAGE_SIZE: return &m_btnImageSize;
    case IDC_SEND_TO_DEVICE: return &m_btnSendToDevice;
    case IDC_SEND_BY_MAIL: return &m_btnSendByMail;
    case IDC_ZOOM_IN: return &m_btnZoomIn;
    case IDC_ZOOM_OUT: return &m_btnZoomOut;
    default: return nullptr;
    }
}

void CZelpixDlg::OnConnect() { ConnectToHandheld(m_usbChannel, *this); }

void CZelpixDlg::OnDisconnect() {
    Disconnect();
    RefreshStatusText();
}

void CZelpixDlg::OnOpenPicture() {
    wchar_t file[MAX_PATH * 4] = {};
    // One entry: our own seven patterns, then those of every installed
    // decoder of the platform's imaging components.
    const std::wstring filter =
        std::wstring(L"All Graphic Files") + L'\0' + imaging::FilterPatterns(InstalledPictureExtensions()) + L'\0' + L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Hwnd();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 4;
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!::GetOpenFileNameW(&ofn)) return;
    // A picture handed over while the user was choosing is older than this
    // choice: it must not replace it once the window is free again.
    if (!m_pendingPicture.empty()) {
        WriteLogLine("handed-over picture ignored, a newer one was chosen: " + AnsiNameOf(m_pendingPicture));
        m_pendingPicture.clear();
    }
    OpenPictureFile(file);
}

void CZelpixDlg::OpenPictureFile(const std::wstring& path) {
    if (m_ending) return;
    // The preview lets go of the picture it shows first, so that two big
    // pictures are never held at once.
    m_realPictDlg.SetPicture(nullptr, imaging::Size{});
    m_decoded.reset();
    m_decodingPath = path;
    if (!m_decoder.Request(path, Hwnd(), kPictureDecodedMessage)) return;
    // The wait cursor at once, not only at the next mouse move.
    POINT at{};
    RECT window{};
    if (::GetCursorPos(&at) && ::GetWindowRect(Hwnd(), &window) && ::PtInRect(&window, at))
        ::SetCursor(::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
}

void CZelpixDlg::OnPictureDecoded(unsigned request) {
    DecodedPictureRef picture;
    if (!m_decoder.Take(request, &picture)) return;  // overtaken by a newer choice
    ShowLoadedPicture(m_decodingPath, std::move(picture));
    RefreshPreview();
    RefreshStatusText();
    m_btnSendByMail.Enable(true);
    m_btnImageSize.Enable(true);
    // The ordinary cursor again, where the mouse is.
    POINT at{};
    if (::GetCursorPos(&at)) ::SetCursorPos(at.x, at.y);
    if (const int command = std::exchange(m_deferredCommand, 0))
        ::PostMessageA(Hwnd(), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

bool CZelpixDlg::DeferWhileDecoding(int id) {
    switch (id) {
    case IDC_IMAGE_SIZE: case IDC_SEND_TO_DEVICE: case IDC_SEND_BY_MAIL: case IDC_ZOOM_IN: case IDC_ZOOM_OUT: break;
    default: return false;
    }
    if (!m_decoder.Busy()) return false;
    m_deferredCommand = id;
    return true;
}

void CZelpixDlg::OnZoom(bool in) {
    if (m_picture.path.empty()) return;
    imaging::Size target{m_picture.targetRect.Width(), m_picture.targetRect.Height()};
    imaging::Size next = in ? imaging::ZoomIn(target) : imaging::ZoomOut(target);
    m_picture.targetRect = imaging::RectFromSize(next);
    RefreshPreview();
}

void CZelpixDlg::OnImageSize() {
    if (m_picture.path.empty()) {
        ShowWarning(quorvel::kNoImageLoadedText);
        RefreshStatusText();
        return;
    }
    imaging::Size target{m_picture.targetRect.Width(), m_picture.targetRect.Height()};
    m_defaultSettings.SetHeight(target.height);
    m_defaultSettings.SetWidth(target.width);
    if (m_defaultSettings.DoModal() == IDOK) {
        imaging::Size fitted;
        imaging::Size box{m_defaultSettings.GetWidth(), m_defaultSettings.GetHeight()};
        if (imaging::FitTargetIntoBox(target, box, &fitted)) {
            m_picture.targetRect = imaging::RectFromSize(fitted);
            RefreshPreview();
        }
    }
    RefreshStatusText();
}

void CZelpixDlg::OnSendToDevice() {
    auto job = std::make_shared<PictureSendJob>();
    job->channel = &m_usbChannel;
    job->window = this;
    job->progress = &m_loadingDlg;
    job->picturePath = m_picture.path;
    job->sentPicturesFolder = m_sentPicturesFolder;
    job->stop = &m_ending;
    std::wstring picture = m_picture.path;
    job->preparePicture = [this, picture](std::wstring* preparedPath) {
        return PrepareDevicePicture(picture, kPixelFormat16bppRGB555, preparedPath);
    };
    StartPictureSend(m_loadingDlg, Hwnd(), job);
}

void CZelpixDlg::OnSendByMail() {
    // The placement is read now: the mail thread prepares the picture later,
    // while the user may already pan or zoom.
    const PlacedPicture placed = PlacedOnScreen();
    const imaging::Size screen = m_scrollPreviewDlg.GetScreenSize();
    const std::wstring path = m_picture.path;
    const std::wstring folder = m_sentPicturesFolder;
    SendPictureByMail(Hwnd(), m_picture, m_sentPicturesFolder, [=](std::wstring* out) {
        return ::PrepareDevicePicture(path, placed, screen.width, screen.height, folder, kPixelFormat16bppRGB555, out);
    });
}

void CZelpixDlg::OnAbout() {
    CAboutDlg about(Hwnd());
    about.DoModal();
    RefreshStatusText();
}

void CZelpixDlg::OnExit() { EndRun(); }

void CZelpixDlg::EndRun() {
    StopWork();
    ::PostQuitMessage(0);
}

void CZelpixDlg::StopWork() {
    m_ending = true;
    // A decode in progress finishes on its own; its result is dropped.
    m_decoder.Stop();
    // "Bye" and the close: a read that waits for an acknowledgement fails,
    // and the stopped transfer writes nothing more.
    Disconnect();
    // The threads still call this window meanwhile (their window calls are
    // answered while we wait); after this, none uses it any more.
    m_loadingDlg.EndWorker();
    m_usbChannel.WaitForWorkerEnd();
}

// ---------------------------------------------------------------- operations

void CZelpixDlg::OnWindowThread(const std::function<void()>& action) {
    if (m_windowThread == 0 || ::GetCurrentThreadId() == m_windowThread) {
        action();
        return;
    }
    // Another thread never touches the window's members itself; without the
    // window there is nothing to change.
    if (HWND wnd = Hwnd()) ::SendMessageA(wnd, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&action));
}

void CZelpixDlg::SetConnectionButtons(bool connectEnabled) {
    OnWindowThread([&] {
        m_btnConnect.Enable(connectEnabled);
        m_btnDisconnect.Enable(!connectEnabled);
        m_btnSendToDevice.Enable(!connectEnabled);
    });
}

std::string CZelpixDlg::GetStatusText() { return ::GetStatusText(m_usbChannel); }

void CZelpixDlg::EnableButton(int id, bool enable) {
    OnWindowThread([&] {
        if (CTexturedIconButton* button = ButtonById(id)) button->Enable(enable);
    });
}

void CZelpixDlg::SetStatusText(const std::string& text) {
    OnWindowThread([&] { m_statusBar.SetSimpleText(text); });
}

void CZelpixDlg::ShowWarning(const std::string& text) {
    if (m_ending) return;  // the program ends: nobody would read it
    tk::ShowWarning(Hwnd(), text);
}

void CZelpixDlg::SetScreenSize(int width, int height) {
    OnWindowThread([&] { m_scrollPreviewDlg.SetScreenSize(width, height); });
}

void CZelpixDlg::ShowConnectedPreview() {
    OnWindowThread([&] {
        Relayout();
        m_deviceOutDlg.Show(true);
        m_realPictDlg.Show(true);
        m_scrollPreviewDlg.Show(true);
        if (!m_picture.path.empty()) RefreshPreview();
    });
}

void CZelpixDlg::ShowPreviewLabel(bool show) {
    OnWindowThread([&] { m_previewLabel.Show(show); });
}

void CZelpixDlg::ShowDisconnectedDisplay() {
    OnWindowThread([&] {
        SetConnectionButtons(true);
        m_scrollPreviewDlg.SetDeviceLook(false);
        m_scrollPreviewDlg.Invalidate(true);
        ::UpdateWindow(m_scrollPreviewDlg.Hwnd());
    });
}

void CZelpixDlg::Disconnect() { DisconnectLink(m_usbChannel, *this); }

void CZelpixDlg::ShowLoadedPicture(const std::wstring& path, DecodedPictureRef picture) {
    // The size comes from the decoded picture that the preview then draws
    // from: no second copy of the pixels is made to learn it. A picture that
    // cannot be decoded (or gets no memory) reads 0 x 0.
    const imaging::Size decoded = DecodedPictureSize(picture);
    m_decoded = std::move(picture);
    LoadedPicture record;
    record.path = path;
    record.naturalRect = imaging::Rect{0, 0, decoded.width, decoded.height};
    record.targetRect = record.naturalRect;
    if (!path.empty()) {
        // The real name, whatever the ANSI code page holds: the dialog is a
        // Unicode window and takes the title in UTF-16.
        const std::wstring title = tk::ToWide(kMainTitle) + L" - " + FileNameOf(path);
        ::SetWindowTextW(Hwnd(), title.c_str());
        m_editWidth.SetText(quorvel::FormatInt(decoded.width));
        m_editHeight.SetText(quorvel::FormatInt(decoded.height));
    }
    m_picture = record;
}

void CZelpixDlg::RefreshPreview() {
    int w = m_picture.targetRect.Width();
    int h = m_picture.targetRect.Height();
    m_editWidth.SetText(quorvel::FormatInt(w));
    m_editHeight.SetText(quorvel::FormatInt(h));
    // The pane keeps the decoded picture and renders, on each paint, only
    // the part behind the screen.
    m_realPictDlg.SetPicture(w > 0 && h > 0 ? m_decoded : nullptr, imaging::Size{w, h});
    imaging::Size screen = m_scrollPreviewDlg.GetScreenSize();
    imaging::PicturePlacement place = imaging::PlacePicture(imaging::Size{w, h}, screen);
    ::SetWindowPos(m_realPictDlg.Hwnd(), HWND_TOP, place.pane.left, place.pane.top, place.pane.Width(),
                   place.pane.Height(), SWP_NOACTIVATE);
    m_scrollPreviewDlg.SetScrollRanges(place.horizontalRange, place.verticalRange);
    m_realPictDlg.Invalidate(false);
    m_deviceOutDlg.Invalidate(false);
    ::UpdateWindow(m_realPictDlg.Hwnd());
    ::UpdateWindow(m_deviceOutDlg.Hwnd());
}

void CZelpixDlg::Relayout() {
    const int left = 35, top = 150;
    ::SetWindowPos(m_scrollPreviewDlg.Hwnd(), HWND_BOTTOM, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    m_scrollPreviewDlg.SetDeviceLook(m_usbChannel.IsOpen());

    RECT r = m_scrollPreviewDlg.WindowRect();
    r.right -= ::GetSystemMetrics(SM_CXVSCROLL);
    r.bottom -= ::GetSystemMetrics(SM_CYHSCROLL);
    int rw = r.right - r.left, rh = r.bottom - r.top;

    imaging::Point offset = m_scrollPreviewDlg.GetScreenOffset();
    imaging::Size screen = m_scrollPreviewDlg.GetScreenSize();
    ::SetWindowPos(m_deviceOutDlg.Hwnd(), HWND_TOP, offset.x + left, offset.y + top, screen.width, screen.height,
                   SWP_NOACTIVATE);
    ::SetWindowPos(m_realPictDlg.Hwnd(), nullptr, 0, 0, screen.width, screen.height, SWP_NOZORDER | SWP_NOACTIVATE);

    int captionHeight = ::GetSystemMetrics(SM_CYCAPTION) + 2 * ::GetSystemMetrics(SM_CYEDGE) +
                        ::GetSystemMetrics(SM_CYDLGFRAME);
    int frameWidth = ::GetSystemMetrics(SM_CXDLGFRAME) + 2 * ::GetSystemMetrics(SM_CXEDGE);
    const imaging::MainWindowLayout layout =
        imaging::ComputeMainWindowLayout(imaging::Size{rw, rh}, frameWidth, captionHeight, m_minPreviewWidth);
    ::SetWindowPos(Hwnd(), nullptr, 0, 0, layout.window.width, layout.window.height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_statusBar.Reposition();

    const imaging::Rect& bar = layout.frameBar;
    ::SetWindowPos(m_previewFrame.Hwnd(), nullptr, bar.left, bar.top, bar.Width(), bar.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_btnZoomIn.Hwnd(), nullptr, layout.zoomIn.x, layout.zoomIn.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_btnZoomOut.Hwnd(), nullptr, layout.zoomOut.x, layout.zoomOut.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

PlacedPicture CZelpixDlg::PlacedOnScreen() {
    RECT r = m_realPictDlg.WindowRect();
    ::MapWindowPoints(HWND_DESKTOP, m_deviceOutDlg.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return PlacedPicture{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

bool CZelpixDlg::PrepareDevicePicture(const std::wstring& path, int pixelFormat, std::wstring* writtenPath) {
    PlacedPicture placed;
    imaging::Size screen;
    OnWindowThread([&] {
        placed = PlacedOnScreen();
        screen = m_scrollPreviewDlg.GetScreenSize();
    });
    return ::PrepareDevicePicture(path, placed, screen.width, screen.height, m_sentPicturesFolder, pixelFormat,
                                  writtenPath);
}

// ------------------------------------------------- drop, hand-off and keys

void CZelpixDlg::OpenPictureWhenFree(const std::wstring& path) {
    m_pendingPicture = path;
    if (Hwnd() && ::IsWindowEnabled(Hwnd())) ::PostMessageA(Hwnd(), kOpenPendingMessage, 0, 0);
}

void CZelpixDlg::OpenPendingPicture() {
    if (m_pendingPicture.empty() || !::IsWindowEnabled(Hwnd())) return;
    std::wstring path;
    path.swap(m_pendingPicture);
    // The file dialog returns only existing files; a folder or a missing
    // file handed over is ignored in the same spirit.
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    OpenPictureFile(path);
}

void CZelpixDlg::OnDropFiles(HDROP drop) {
    // Of the dropped entries that are files (folders are passed over), the
    // first with an extension of the Open dialog's list, else the first.
    std::vector<std::wstring> files;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        std::wstring wide(length + 1, L'\0');
        wide.resize(::DragQueryFileW(drop, i, &wide[0], length + 1));
        if (wide.empty()) continue;
        DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(wide);
    }
    ::DragFinish(drop);
    const std::size_t chosen = imaging::DroppedPictureChoice(files, InstalledPictureExtensions());
    if (chosen < files.size()) OpenPictureWhenFree(files[chosen]);
}

bool CZelpixDlg::PreTranslateMessage(MSG& msg) {
    // The tooltips see every message first; they never use one up.
    m_toolTip.FilterMessage(msg);
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    // Only this window's own keys, and none while a transfer keeps it
    // disabled.
    if (!Hwnd() || !::IsWindowEnabled(Hwnd())) return false;
    if (msg.hwnd != Hwnd() && !::IsChild(Hwnd(), msg.hwnd)) return false;
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    const bool alt = msg.message == WM_SYSKEYDOWN || ::GetKeyState(VK_MENU) < 0;
    using quorvel::MainKeyCommand;
    const MainKeyCommand command = quorvel::MainWindowKeyCommand(static_cast<unsigned>(msg.wParam), ctrl, alt);
    // The buttons' rules hold for their keys too.
    auto enabled = [](CTexturedIconButton& button) { return button.IsEnabled(); };
    switch (command) {
    case MainKeyCommand::None: return false;
    case MainKeyCommand::Open: if (enabled(m_btnOpen)) OnOpenPicture(); return true;
    case MainKeyCommand::ZoomIn:
        if (enabled(m_btnZoomIn) && !DeferWhileDecoding(IDC_ZOOM_IN)) OnZoom(true);
        return true;
    case MainKeyCommand::ZoomOut:
        if (enabled(m_btnZoomOut) && !DeferWhileDecoding(IDC_ZOOM_OUT)) OnZoom(false);
        return true;
    default: break;
    }
    // Panning moves the picture as the scroll bars' line buttons do; without
    // an overhang the bars have no range and nothing moves.
    if (m_picture.path.empty() || m_decoder.Busy() || !m_scrollPreviewDlg.Hwnd()) return true;
    const bool horizontal = command == MainKeyCommand::PanLeft || command == MainKeyCommand::PanRight;
    const bool back = command == MainKeyCommand::PanLeft || command == MainKeyCommand::PanUp;
    ::SendMessageA(m_scrollPreviewDlg.Hwnd(), horizontal ? WM_HSCROLL : WM_VSCROLL, back ? SB_LINELEFT : SB_LINERIGHT, 0);
    return true;
}
