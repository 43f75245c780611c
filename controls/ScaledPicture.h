#pragma once
// A picture of the program's resources drawn at 100 %, 150 % and 200 %, loaded for a DPI: the
// drawing made for that scale when there is one, else the next larger drawing scaled down (above
// 200 % the largest, scaled up), so that the picture keeps its size relative to the text.

#include <windows.h>

namespace harmoload::controls {

// The bitmap resource ids of one picture at each drawn scale.
struct ScaledPictureIds {
    int at100;
    int at150;
    int at200;
};

// The picture at the DPI, or null when the resource is missing. At 96 DPI it is the 100 %
// resource exactly as drawn.
HBITMAP LoadScaledPicture(const ScaledPictureIds& ids, UINT dpi);

}  // namespace harmoload::controls
