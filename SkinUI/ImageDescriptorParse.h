// Parsing of an image descriptor text: "img\logo.png" or items such as
// "file='img/checked.png' dest='0,8,14,22'". Portable (no windows.h).
#pragma once

#include <cstdint>
#include <string>

#include "SkinValue.h"

namespace SkinUI {

struct ImageDescriptorItems {
    std::wstring file;     // the whole text when it holds no items
    std::wstring res;      // resource name in the executable
    std::wstring restype;
    uint32_t color = 0;
    bool hasColor = false;
    RectValue dest, source, corner;
    bool hasDest = false, hasSource = false;
    uint32_t mask = 0;
    int fade = 255;
    bool hole = false, xtiled = false, ytiled = false, hsl = false;
};

// Items are read up to the first place that does not fit key='value' followed by a blank (or the end);
// the items before it are kept.
ImageDescriptorItems ParseImageDescriptor(const std::wstring& text);

}  // namespace SkinUI
