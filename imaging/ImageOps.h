// Image operations on GDI+: decode, render fitted or stretched onto white for
// display, and prepare the picture that leaves the program (the part placed
// on the handheld screen, 16 bits per pixel, saved as JPEG). Scaling itself
// is done by our own resampler, because the platform's scalers point-sample
// when they shrink.
#pragma once
#include "imaging/Geometry.h"
#include "imaging/Resample.h"
#include "toolkit/Text.h"
#include "toolkit/Win.h"

#include <memory>
#include <string>
#include <vector>

// GDI+ pixel-format codes used by the program.
constexpr int kPixelFormat24bppRGB = 0x21808;     // display
constexpr int kPixelFormat16bppRGB555 = 0x21005;  // the picture for the handheld

// The picture as placed on the simulated screen: left/top are its offset from
// the screen's top-left corner (negative beyond the left or top edge);
// width/height its displayed (target) size.
struct PlacedPicture {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The index of the encoder for `mimeType` and its class id, or -1.
int FindEncoder(const wchar_t* mimeType, CLSID* clsid);

// Pictures are decoded by the imaging service after their header has been
// checked against our bounds (imaging/PictureHeader.h: each side at most
// 65535, at most 2^28 pixels, files up to 1 GB); a file beyond them, or one
// whose pixels cannot get memory, is treated like one that cannot be
// decoded. The decoded pixels of the last picture are the one copy of it the
// program keeps (the service's own bitmap is released once they are copied
// out), while its file stays the same (same path, size and modification
// time), so zooming, panning and resizing do not decode it again; a file that
// changed on disk is decoded afresh.

// The decoded pixels, shared between the kept copy and the preview that
// draws from it.
struct DecodedPicture;
using DecodedPictureRef = std::shared_ptr<const DecodedPicture>;

// The decoded picture of a file (decoding it unless it is kept); null when it
// cannot be decoded. The decode runs outside the cache's lock and its result
// is published under it; while one is in flight, other callers wait for it
// and take its result when it is the file they want. It may take seconds:
// never call it on the user-interface thread (the main window decodes on a
// worker, ui/PictureDecoder.h).
DecodedPictureRef OpenDecodedPicture(const std::wstring& path);
// How many decodes the process has started so far (for the benchmark).
int PictureDecodeCount();
// A decoded picture made from pixels in memory (for tests and tools).
DecodedPictureRef MakeDecodedPicture(imaging::PixelBuffer pixels);
imaging::Size DecodedPictureSize(const DecodedPictureRef& picture);

// Draws at (x, y) of `dc` the part `window` (in the target's coordinates) of
// the picture fitted and centred on white in a target of `target` size:
// exactly the pixels RenderPictureFitted gives there, at the cost of the
// window alone. False, drawing nothing, when the part cannot be rendered.
bool DrawFittedPart(HDC dc, int x, int y, const DecodedPicture& picture, imaging::Size target,
                    const imaging::Rect& window);

// The picture at its own size on white, as a device-dependent bitmap the
// caller owns; null when the file cannot be decoded.
HBITMAP LoadPictureBitmap(const std::wstring& path);
// Width and height of a bitmap (0 x 0 for null).
SIZE GetBitmapSize(HBITMAP bitmap);

// A new memory DC (compatible with `reference`) holding a bitmap of the
// target's size with the picture fitted and centred on white. The caller owns
// the DC and the bitmap selected into it (see ReleaseRenderedDC).
HDC RenderPictureFitted(const std::wstring& path, HDC reference, const RECT& target, int rotateFlip, int pixelFormat);
// As above, with the whole bitmap stretched over the target.
HDC RenderBitmapStretched(HBITMAP bitmap, HDC reference, const RECT& target, int rotateFlip, int pixelFormat);
// Both return null, and make nothing, for an empty target or one the
// resampler refuses (a side above 2^24 or more than 2^28 pixels) or that gets
// no memory; a picture that cannot be decoded gives an all-white bitmap. The
// preview does not use them for the picture: it draws only the visible part
// (DrawFittedPart).

// Deletes a DC made by the two functions above together with its bitmap.
void ReleaseRenderedDC(HDC dc);

// Cuts the placed picture to the screen, reduces it to `pixelFormat` and
// saves it as JPEG in `outputFolder` under the picture's base name + ".jpg".
// Returns true when the file was written; `writtenPath` receives its path
// either way.
bool PrepareDevicePicture(const std::wstring& picturePath, const PlacedPicture& placed, int screenWidth,
                          int screenHeight, const std::wstring& outputFolder, int pixelFormat,
                          std::wstring* writtenPath);
// It writes nothing, leaves no file under that name and returns false when
// the picture cannot be decoded, the placed picture or the screen has no
// area, the crop is larger than 65535 on a side or than 2^28 pixels, the
// pixel format cannot be made, or the save fails. Two exceptions to "leaves
// no file": an empty output folder touches nothing at all, and a picture
// that is itself the output file (opened from the Sent Pictures folder) is
// never deleted. Only the cropped part is ever rendered, so a huge displayed
// size costs no more than the screen-sized piece that is sent.

// The picture's own width and height (decoding it, or taking the kept
// pixels); false and 0 x 0 when it cannot be decoded. Cheaper than
// LoadPictureBitmap when only the size is wanted.
bool GetPictureSize(const std::wstring& path, SIZE* size);
// Frees the kept pixels of the last decoded picture (for instance when no
// picture is open any more). The next operation decodes its file again.
void ForgetDecodedPicture();

// The extensions the program opens: its own seven, then those of every
// decoder installed in the platform's imaging components
// (imaging/PictureExtensions.h). Asked once per process.
const std::vector<std::wstring>& InstalledPictureExtensions();

// Deletes an earlier prepared file before a new preparation, so that a failed
// one never leaves an old picture to be sent. A picture opened from the Sent
// Pictures folder is its own prepared file and is never deleted. Senders
// delete, prepare and take the file in one preparation turn
// (imaging/PreparedPicture.h).
void DeleteEarlierPreparedFile(const std::wstring& preparedPath, const std::wstring& picturePath);

// Paths are carried in UTF-16, as the user's file names are. Tools and tests
// that name their files in the ANSI code page use these forms.
inline DecodedPictureRef OpenDecodedPicture(const std::string& path) { return OpenDecodedPicture(tk::ToWide(path)); }
inline HBITMAP LoadPictureBitmap(const std::string& path) { return LoadPictureBitmap(tk::ToWide(path)); }
inline HDC RenderPictureFitted(const std::string& path, HDC reference, const RECT& target, int rotateFlip,
                               int pixelFormat) {
    return RenderPictureFitted(tk::ToWide(path), reference, target, rotateFlip, pixelFormat);
}
inline bool GetPictureSize(const std::string& path, SIZE* size) { return GetPictureSize(tk::ToWide(path), size); }
inline void DeleteEarlierPreparedFile(const std::string& preparedPath, const std::string& picturePath) {
    DeleteEarlierPreparedFile(tk::ToWide(preparedPath), tk::ToWide(picturePath));
}
inline bool PrepareDevicePicture(const std::string& picturePath, const PlacedPicture& placed, int screenWidth,
                                 int screenHeight, const std::string& outputFolder, int pixelFormat,
                                 std::string* writtenPath) {
    std::wstring written;
    const bool ok = PrepareDevicePicture(tk::ToWide(picturePath), placed, screenWidth, screenHeight,
                                         tk::ToWide(outputFolder), pixelFormat, &written);
    if (writtenPath) *writtenPath = tk::ToAnsi(written);
    return ok;
}
