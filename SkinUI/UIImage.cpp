#include "UIImage.h"

#include <cstring>

#include <stb_image.h>

#include "SkinResources.h"
#include "UIManager.h"

namespace SkinUI {

namespace {

std::unique_ptr<ImageInfo> CreateDib(int width, int height, uint32_t** bits)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels)
        return nullptr;
    auto info = std::make_unique<ImageInfo>();
    info->bitmap = std::move(bitmap);
    info->width = width;
    info->height = height;
    *bits = static_cast<uint32_t*>(pixels);
    return info;
}

}  // namespace

std::unique_ptr<ImageInfo> DecodeImage(const std::vector<uint8_t>& bytes, uint32_t mask)
{
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF)
        return nullptr;
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                          &channels, 4);
    if (!rgba)
        return nullptr;
    uint32_t* bits = nullptr;
    auto info = width > 0 && height > 0 ? CreateDib(width, height, &bits) : nullptr;
    if (info) {
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        for (size_t i = 0; i < count; ++i) {
            const stbi_uc* p = rgba + i * 4;
            const uint32_t a = p[3];
            uint32_t r = p[0], g = p[1], b = p[2];
            if (a != 255) {
                r = r * a / 255;
                g = g * a / 255;
                b = b * a / 255;
                info->alpha = true;
            }
            uint32_t value = a << 24 | r << 16 | g << 8 | b;
            if (mask != 0 && value == mask) {
                value = 0;
                info->alpha = true;
            }
            bits[i] = value;
        }
    }
    stbi_image_free(rgba);
    return info;
}

std::unique_ptr<ImageInfo> CreateColorImage(uint32_t color)
{
    uint32_t* bits = nullptr;
    auto info = CreateDib(1, 1, &bits);
    if (!info)
        return nullptr;
    const uint32_t a = color >> 24;
    const uint32_t r = (color >> 16 & 0xFF) * a / 255, g = (color >> 8 & 0xFF) * a / 255, b = (color & 0xFF) * a / 255;
    bits[0] = a << 24 | r << 16 | g << 8 | b;
    info->alpha = a != 255;
    return info;
}

std::unique_ptr<ImageInfo> LoadImageInfo(const std::wstring& file, const std::wstring& restype, uint32_t mask)
{
    std::vector<uint8_t> bytes;
    const bool found = restype.empty() ? ReadImageFile(file, bytes)
                                       : ReadModuleResource(file, restype.c_str(), bytes);
    return found ? DecodeImage(bytes, mask) : nullptr;
}

void CImageDescriptor::SetText(std::wstring text)
{
    if (text == text_)
        return;
    text_ = std::move(text);
    items_ = {};
    parsed_ = false;
    own_.reset();
    image_ = nullptr;
}

const ImageInfo* CImageDescriptor::Resolve(CManagerUI* manager)
{
    if (parsed_ || text_.empty())
        return image_;
    parsed_ = true;
    items_ = ParseImageDescriptor(text_);
    if (items_.hasColor) {
        own_ = CreateColorImage(items_.color);
    } else {
        const std::wstring& name = items_.res.empty() ? items_.file : items_.res;
        // "#10" is RT_RCDATA, the type of a res image that names none.
        const std::wstring restype = items_.res.empty() ? std::wstring()
                                     : items_.restype.empty() ? std::wstring(L"#10") : items_.restype;
        if (const ImageInfo* shared = manager ? manager->GetImage(name) : nullptr)
            image_ = shared;
        else
            own_ = LoadImageInfo(name, restype, items_.mask);
    }
    if (own_)
        image_ = own_.get();
    return image_;
}

}  // namespace SkinUI
