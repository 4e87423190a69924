// The current picture of the main window: its file (empty when none is
// loaded), its natural size and the size at which it is shown and sent.
// Pictures are not kept here: every consumer decodes the file from its path.
#pragma once
#include "imaging/Geometry.h"

#include <string>

struct LoadedPicture {
    std::wstring path;  // as the user named it, in UTF-16
    imaging::Rect naturalRect;  // (0, 0, w, h)
    imaging::Rect targetRect;   // (0, 0, W, H)
};
