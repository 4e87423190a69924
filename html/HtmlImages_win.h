// Pictures for the HTML renderer on Windows: bitmaps and icons from the
// program's resources, files, libraries and the caller's handles, and the
// renderer's image list. Every picture is loaded for one use and released
// after it (the caller's handles excepted), so nothing is cached between
// passes.
#pragma once

#include "html/HtmlImage.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <commctrl.h>

namespace html {

class CWinHtmlImages : public HtmlImageSource {
public:
    CWinHtmlImages() = default;
    ~CWinHtmlImages() override = default;
    CWinHtmlImages(const CWinHtmlImages&) = delete;
    CWinHtmlImages& operator=(const CWinHtmlImages&) = delete;

    HtmlLoadedImage Load(const HtmlImageRequest& request) override;
    void Release(const HtmlLoadedImage& image) override;
    void SystemIconSize(int* width, int* height) override;
    int ImageListCount() override;
    void ImageListFrameSize(int* width, int* height) override;
    HtmlLoadedImage ImageListIcon(int index) override;

    // The module of "iddll" pictures without a library of their own.
    void SetResourceModule(HMODULE module) { m_resourceModule = module; }
    // Builds the image list from a strip bitmap (not taken over) or a bitmap
    // resource of the program; replaces the previous list. False when the
    // list could not be made.
    bool SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                      COLORREF mask);

private:
    HMODULE m_resourceModule = nullptr;
    tk::ImageList m_list;
    int m_frameWidth = 0, m_frameHeight = 0;
};

} // namespace html
