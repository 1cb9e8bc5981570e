// The banner carousel's feed and image cache: which images the product-data API offers for this product
// and language, and which of them still have to be fetched into the language folder.
#pragma once

#include <string>
#include <vector>

#include "JSONStruct.h"

struct CarouselImage {
    std::string url; // UTF-8 as received
    std::string md5;
};

struct CarouselResponse {
    int code = -1;
    std::string message;
    std::vector<CarouselImage> images;
};

// One element of "data"."list"; a member that is missing or not a string stays empty.
class ImageInfoJSONStruct : public IJSONStruct {
public:
    ImageInfoJSONStruct(Allocator& allocator, CarouselImage* image) : IJSONStruct(allocator), m_image(image) {}
    bool FromJson(const rapidjson::Value& value) override;
    rapidjson::Value ToJson() override { return rapidjson::Value(rapidjson::kObjectType); }

private:
    CarouselImage* m_image; // not owned
};

// "data": its "list" array, in order. Elements that are not objects are skipped.
class ImageConfigInfoJSONStruct : public IJSONStruct {
public:
    ImageConfigInfoJSONStruct(Allocator& allocator, std::vector<CarouselImage>* images)
        : IJSONStruct(allocator), m_images(images)
    {
    }
    bool FromJson(const rapidjson::Value& value) override;
    rapidjson::Value ToJson() override { return rapidjson::Value(rapidjson::kObjectType); }

private:
    std::vector<CarouselImage>* m_images; // not owned
};

// Fills response (code, message) and images from the feed's JSON text; false only when it is not JSON.
[[nodiscard]] bool ParseCarouselResponse(CarouselResponse& response, std::vector<CarouselImage>& images,
                                         const std::string& json);

// One GET through the WinHTTP request helper; empty when the request fails.
std::string GetUrlContent(const std::wstring& url);

// Where image number index (from 1) is kept: folder + "pr_<index>.png".
std::wstring BannerImagePath(const std::wstring& languageFolder, int index);

// Whether an MD5 digest matches the feed's one, without regard to case.
bool SameDigest(const std::string& fileMd5, const std::string& feedMd5);

// Brings the cached images in languageFolder up to the feed: a file whose digest matches is kept, any
// other is deleted and fetched again. Failed downloads are logged; nothing is retried.
void RefreshCarouselImages(const std::vector<CarouselImage>& images, const std::wstring& languageFolder);
