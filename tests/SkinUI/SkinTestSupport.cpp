#include "SkinTestSupport.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace skintest {

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    out->insert(out->end(), static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
}

}  // namespace

std::wstring SavePng(const Capture& c, const std::wstring& name)
{
    std::vector<unsigned char> rgba(c.pixels.size() * 4);
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        const uint32_t p = c.pixels[i];
        rgba[i * 4] = static_cast<unsigned char>(p >> 16);
        rgba[i * 4 + 1] = static_cast<unsigned char>(p >> 8);
        rgba[i * 4 + 2] = static_cast<unsigned char>(p);
        rgba[i * 4 + 3] = 255;
    }
    std::vector<unsigned char> png;
    stbi_write_png_to_func(Append, &png, c.width, c.height, 4, rgba.data(), c.width * 4);
    const std::wstring path = ArtefactFolder() + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

}  // namespace skintest
