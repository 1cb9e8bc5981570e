// Decoded images: 32-bit top-down DIB sections in premultiplied BGRA, and the descriptors that refer to them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Handles.h"
#include "ImageDescriptorParse.h"

namespace SkinUI {

class CManagerUI;

struct ImageInfo {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
    bool alpha = false;  // some pixel is not fully opaque
};

// PNG or JPEG bytes; pixels equal to mask (as stored 0xAARRGGBB values) become transparent.
std::unique_ptr<ImageInfo> DecodeImage(const std::vector<uint8_t>& bytes, uint32_t mask);
// A one-pixel image of an 0xAARRGGBB colour.
std::unique_ptr<ImageInfo> CreateColorImage(uint32_t color);
// By file name (resource zip, resource path, then plain path), or from the module's resources of type.
std::unique_ptr<ImageInfo> LoadImageInfo(const std::wstring& file, const std::wstring& restype, uint32_t mask);

// One image setting of a control (bkimage, normalimage, ...): parsed and loaded on first use; a load that
// fails is not tried again.
class CImageDescriptor {
public:
    CImageDescriptor() = default;
    explicit CImageDescriptor(std::wstring text) { SetText(std::move(text)); }

    void SetText(std::wstring text);
    const std::wstring& GetText() const { return text_; }
    bool IsEmpty() const { return text_.empty(); }
    bool IsLoaded() const { return image_ != nullptr; }

    // The image to draw, or null. A preloaded image of the manager with the same file name is shared.
    const ImageInfo* Resolve(CManagerUI* manager);
    const ImageDescriptorItems& Items() const { return items_; }

private:
    std::wstring text_;
    ImageDescriptorItems items_;
    bool parsed_ = false;
    std::unique_ptr<ImageInfo> own_;
    const ImageInfo* image_ = nullptr;  // own_ or the manager's
};

}  // namespace SkinUI
