#include "Carousel.h"

#include <windows.h>

#include "BaseRequest.h"
#include "Log.h"
#include "System.h"

bool ImageInfoJSONStruct::FromJson(const rapidjson::Value& value)
{
    if (!value.IsObject())
        return false;
    auto url = value.FindMember("url");
    if (url != value.MemberEnd() && url->value.IsString())
        m_image->url.assign(url->value.GetString(), url->value.GetStringLength());
    auto md5 = value.FindMember("md5");
    if (md5 != value.MemberEnd() && md5->value.IsString())
        m_image->md5.assign(md5->value.GetString(), md5->value.GetStringLength());
    return true;
}

bool ImageConfigInfoJSONStruct::FromJson(const rapidjson::Value& value)
{
    if (!value.IsObject())
        return false;
    auto list = value.FindMember("list");
    if (list == value.MemberEnd() || !list->value.IsArray())
        return false;
    for (const rapidjson::Value& element : list->value.GetArray()) {
        CarouselImage image;
        ImageInfoJSONStruct record(*m_allocator, &image);
        if (record.FromJson(element))
            m_images->push_back(std::move(image));
    }
    return true;
}

bool ParseCarouselResponse(CarouselResponse& response, std::vector<CarouselImage>& images, const std::string& json)
{
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError())
        return false;
    if (!document.IsObject())
        return true;
    auto code = document.FindMember("code");
    if (code != document.MemberEnd() && code->value.IsInt())
        response.code = code->value.GetInt();
    auto message = document.FindMember("message");
    if (message != document.MemberEnd() && message->value.IsString())
        response.message.assign(message->value.GetString(), message->value.GetStringLength());
    auto data = document.FindMember("data");
    if (data != document.MemberEnd()) {
        ImageConfigInfoJSONStruct record(document.GetAllocator(), &images);
        record.FromJson(data->value);
    }
    return true;
}

std::string GetUrlContent(const std::wstring& url)
{
    CWinHttpRequest request;
    if (!request.RequestUrl(url))
        return {};
    return request.ReadToString();
}

std::wstring BannerImagePath(const std::wstring& languageFolder, int index)
{
    return languageFolder + L"pr_" + std::to_wstring(index) + L".png";
}

bool SameDigest(const std::string& fileMd5, const std::string& feedMd5)
{
    if (fileMd5.size() != feedMd5.size())
        return false;
    for (size_t i = 0; i < fileMd5.size(); ++i) {
        auto lower = [](char c) {
            return static_cast<char>(reinterpret_cast<UINT_PTR>(CharLowerA(reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<unsigned char>(c))))));
        };
        if (lower(fileMd5[i]) != lower(feedMd5[i]))
            return false;
    }
    return true;
}

void RefreshCarouselImages(const std::vector<CarouselImage>& images, const std::wstring& languageFolder)
{
    for (size_t i = 0; i < images.size(); ++i) {
        std::wstring path = BannerImagePath(languageFolder, static_cast<int>(i) + 1);
        bool cached = IsFileExist(path);
        if (cached && SameDigest(GetFileMd5(path), images[i].md5))
            continue;
        if (cached)
            DeleteFileW(path.c_str());
        std::wstring url = AcpToWide(images[i].url);
        CWinHttpRequest request;
        if (!request.RequestUrl(url) || !request.ReadToFile(path))
            LOGW(1, L"download image failed, url[%s], filePath[%s].", url.c_str(), path.c_str());
    }
}
