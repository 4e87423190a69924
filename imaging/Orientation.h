// Orientation.h - turning a picture upright while its pixels are copied.
//
// Cameras store a portrait photo's pixels in the sensor's landscape order and
// record how to turn them (the orientation tag, imaging/PictureHeader.h).
// The program turns the picture once, while the decoder's rows are copied
// into the one kept copy of the picture, so nothing after the decode ever
// sees the stored order and no second copy of the picture is made. Rows may
// arrive in bands of any height, in any order.
#pragma once

#include <cstdint>

#include "imaging/Geometry.h"
#include "imaging/Resample.h"

namespace imaging {

// Orientations 5 to 8 swap the picture's sides.
bool SwapsSides(int orientation);

// The upright size of a picture stored as storedWidth x storedHeight:
// orientations 5 to 8 swap the sides; any value outside 1..8 is "as stored".
Size UprightSize(int orientation, int storedWidth, int storedHeight);

// Copies the stored rows firstRow .. firstRow + rows.height - 1 (rows.width
// being the stored width) of a picture storedHeight rows high to their
// places in `upright`, which has the upright size. False, copying nothing,
// when the sizes do not fit together.
bool PlaceStoredRows(const ConstPixelView& rows, int firstRow, int storedHeight, int orientation,
                     const PixelView& upright);

// The same for `count` rows of 24-bit BGR pixels (`stride` bytes apart), as
// a photo's decoder gives them; the upright pixels come out opaque. The
// conversion to 32 bits and the turn are then one pass over the picture.
bool PlaceStoredBgrRows(const std::uint8_t* rows, int width, int count, int stride, int firstRow, int storedHeight,
                        int orientation, const PixelView& upright);

// The orientation that does what a rotate/flip code of the imaging service
// does (a horizontal flip when code & 4, then (code & 3) quarter turns
// clockwise); 1 for 0 and for codes outside 0..7.
int OrientationOfRotateFlip(int code);

}  // namespace imaging
