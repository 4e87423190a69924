// Loading the renderer's pictures, and the GDI canvas's image drawing
// through the renderer's effect painter.
#include "html/HtmlImages_win.h"

#include "effects/EffectPainter.h"
#include "html/HtmlRenderer.h"

namespace html {

namespace {

HANDLE LoadFromModule(HMODULE module, int kind, int id, int width, int height) {
    if (kind == ImageIcon)
        return ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR);
    return ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
}

HtmlLoadedImage Describe(HANDLE handle, int kind, bool owned) {
    HtmlLoadedImage image;
    if (!handle) return image;
    image.handle = reinterpret_cast<std::uintptr_t>(handle);
    image.owned = owned;
    SIZE size = kind == ImageIcon ? effects::CEffectPainter::GetIconSize(static_cast<HICON>(handle))
                                  : effects::CEffectPainter::GetBitmapExtent(static_cast<HBITMAP>(handle));
    image.width = size.cx;
    image.height = size.cy;
    return image;
}

}  // namespace

HtmlLoadedImage CWinHtmlImages::Load(const HtmlImageRequest& q) {
    const bool icon = q.kind == ImageIcon;
    HANDLE handle = nullptr;
    if (q.idres > 0) {
        handle = LoadFromModule(::GetModuleHandleA(nullptr), q.kind, q.idres, q.width, q.height);
    } else if (!q.file.empty()) {
        handle = icon ? ::LoadImageA(nullptr, q.file.c_str(), IMAGE_ICON, q.width, q.height, LR_LOADFROMFILE)
                      : ::LoadImageA(nullptr, q.file.c_str(), IMAGE_BITMAP, 0, 0,
                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE);
    } else if (q.iddll > 0) {
        if (q.library.empty()) {
            handle = LoadFromModule(m_resourceModule ? m_resourceModule : ::GetModuleHandleA(nullptr), q.kind,
                                    q.iddll, q.width, q.height);
        } else if (tk::Library library{::LoadLibraryExA(q.library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)}) {
            handle = LoadFromModule(library.Get(), q.kind, q.iddll, q.width, q.height);
        }
    } else if (q.handle) {
        // The caller's picture: used as it is and never deleted.
        return Describe(reinterpret_cast<HANDLE>(q.handle), q.kind, false);
    }
    return Describe(handle, q.kind, true);
}

void CWinHtmlImages::Release(const HtmlLoadedImage& image) {
    if (!image.owned || !image.handle) return;
    // Icons and bitmaps are told apart by what GetIconInfo makes of them.
    ICONINFO info = {};
    HANDLE h = reinterpret_cast<HANDLE>(image.handle);
    if (::GetObjectType(h) == OBJ_BITMAP) {
        tk::Bitmap bitmap(static_cast<HBITMAP>(h));
    } else if (::GetIconInfo(static_cast<HICON>(h), &info)) {
        tk::Bitmap colour(info.hbmColor), mask(info.hbmMask);
        tk::Icon icon(static_cast<HICON>(h));
    }
}

void CWinHtmlImages::SystemIconSize(int* width, int* height) {
    *width = ::GetSystemMetrics(SM_CXICON);
    *height = ::GetSystemMetrics(SM_CYICON);
}

int CWinHtmlImages::ImageListCount() { return m_list ? ImageList_GetImageCount(m_list.Get()) : 0; }

void CWinHtmlImages::ImageListFrameSize(int* width, int* height) {
    *width = m_frameWidth;
    *height = m_frameHeight;
}

HtmlLoadedImage CWinHtmlImages::ImageListIcon(int index) {
    if (!m_list) return {};
    HICON icon = ImageList_GetIcon(m_list.Get(), index, 0);
    HtmlLoadedImage image = Describe(icon, ImageIcon, true);
    image.width = m_frameWidth;
    image.height = m_frameHeight;
    return image;
}

bool CWinHtmlImages::SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                                  COLORREF mask) {
    m_list.Reset();
    m_frameWidth = m_frameHeight = 0;
    if (frameWidth <= 0 || frameHeight <= 0) return false;
    tk::Bitmap loaded;
    if (!strip && resource) {
        loaded.Reset(static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
        strip = loaded.Get();
    }
    if (strip) {
        m_list.Reset(ImageList_Create(frameWidth, frameHeight, ILC_COLOR32 | ILC_MASK, initialCount, 1));
        if (m_list && ImageList_AddMasked(m_list.Get(), strip, mask) < 0) m_list.Reset();
    }
    if (!m_list) return false;
    m_frameWidth = frameWidth;
    m_frameHeight = frameHeight;
    return true;
}

// ---------------------------------------------------------------- canvas

void CGdiCanvas::DrawImage(const HtmlImageDraw& d) {
    if (!d.handle) return;
    switch (d.kind) {
    case ImageBitmap:
        m_painter.DrawBitmap(m_dc, d.x, d.y, d.width, d.height, reinterpret_cast<HBITMAP>(d.handle), d.useMask,
                              d.maskColor, d.effectFlags, d.offset, d.shadowDx, d.shadowDy, d.blurWidth, d.blurHeight,
                              d.effectColor);
        break;
    case ImageIcon:
        m_painter.DrawIcon(m_dc, d.x, d.y, d.width, d.height, reinterpret_cast<HICON>(d.handle), d.effectFlags,
                            d.offset, d.shadowDx, d.shadowDy, d.blurWidth, d.blurHeight, d.effectColor);
        break;
    case ImageStripFrame:
        m_painter.DrawImageListFrame(m_dc, d.x, d.y, d.width, d.height, reinterpret_cast<HBITMAP>(d.handle),
                                      d.frameIndex, d.frameWidth, d.frameHeight, d.useMask, d.maskColor,
                                      d.effectFlags, d.offset, d.shadowDx, d.shadowDy, d.blurWidth, d.blurHeight,
                                      d.effectColor);
        break;
    case ImageTile: {
        tk::MemoryDC source(m_dc);
        if (!source) return;
        tk::ScopedSelect select(source.Get(), reinterpret_cast<HBITMAP>(d.handle));
        m_painter.TileBitmap(m_dc, d.x, d.y, d.width, d.height, source.Get(), 0, 0, d.frameWidth, d.frameHeight);
        break;
    }
    default:
        break;
    }
}

} // namespace html
