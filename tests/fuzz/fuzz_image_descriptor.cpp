// The image-descriptor parser on arbitrary text (the bytes taken as UTF-16 units, as the markup gives them).
#include <cstddef>
#include <cstdint>
#include <string>

#include "ImageDescriptorParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    const SkinUI::ImageDescriptorItems items = SkinUI::ParseImageDescriptor(text);
    if (items.file.size() > text.size() || items.fade < 0 || items.fade > 255)
        __builtin_trap(); // the parser never invents text, and a fade is a byte
    return 0;
}
