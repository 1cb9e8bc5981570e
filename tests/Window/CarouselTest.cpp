#include "Carousel.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct ParseCase {
    const char* name;
    std::string json;
    bool parsed;
    int code;
    std::vector<std::pair<std::string, std::string>> images; // url, md5
};

TEST(ParseCarouselResponse, ReadsCodeMessageAndTheListAsFarAsItHasTheShape)
{
    const ParseCase cases[] = {
        {"feed", R"({"code":1,"message":"ok","data":{"list":[{"url":"http://h/1.png","md5":"AB"},{"url":"http://h/2.jpg","md5":"cd"}]}})",
         true, 1, {{"http://h/1.png", "AB"}, {"http://h/2.jpg", "cd"}}},
        {"code 0 keeps its list", R"({"code":0,"data":{"list":[{"url":"u","md5":"m"}]}})", true, 0, {{"u", "m"}}},
        {"no code", R"({"data":{"list":[]}})", true, -1, {}},
        {"code as text", R"({"code":"1","data":{"list":[{"url":"u","md5":"m"}]}})", true, -1, {{"u", "m"}}},
        {"not json", "<html>502</html>", false, -1, {}},
        {"empty body", "", false, -1, {}},
        {"data not an object", R"({"code":1,"data":[{"url":"u"}]})", true, 1, {}},
        {"list not an array", R"({"code":1,"data":{"list":{"url":"u"}}})", true, 1, {}},
        {"missing and mistyped members stay empty", R"({"code":1,"data":{"list":[{"url":"u"},{"md5":"m"},{"url":5,"md5":"m2"}]}})",
         true, 1, {{"u", ""}, {"", "m"}, {"", "m2"}}},
        {"elements that are not objects are skipped", R"({"code":1,"data":{"list":["x",7,{"url":"u","md5":"m"}]}})",
         true, 1, {{"u", "m"}}},
        {"a JSON array is no feed", R"([1,2])", true, -1, {}},
    };
    for (const ParseCase& c : cases) {
        CarouselResponse response;
        EXPECT_EQ(ParseCarouselResponse(response, response.images, c.json), c.parsed) << c.name;
        EXPECT_EQ(response.code, c.code) << c.name;
        ASSERT_EQ(response.images.size(), c.images.size()) << c.name;
        for (size_t i = 0; i < c.images.size(); ++i) {
            EXPECT_EQ(response.images[i].url, c.images[i].first) << c.name;
            EXPECT_EQ(response.images[i].md5, c.images[i].second) << c.name;
        }
    }
}

TEST(SameDigest, IgnoresCaseButNotLength)
{
    EXPECT_TRUE(SameDigest("d41d8cd98f00b204e9800998ecf8427e", "D41D8CD98F00B204E9800998ECF8427E"));
    EXPECT_FALSE(SameDigest("d41d8cd98f00b204e9800998ecf8427e", "d41d8cd98f00b204e9800998ecf8427"));
    EXPECT_FALSE(SameDigest("d41d8cd98f00b204e9800998ecf8427e", "d41d8cd98f00b204e9800998ecf8427f"));
    EXPECT_TRUE(SameDigest("", ""));
}

TEST(BannerImagePath, NumberedFromOne)
{
    EXPECT_EQ(BannerImagePath(L"W\\language\\English\\", 3), L"W\\language\\English\\pr_3.png");
}

// Against the images that tests/Window/carousel_site.py serves on 127.0.0.1:80.
class CarouselCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 3; ++i) {
            std::string md5 = Env("QV_CAROUSEL_MD5_" + std::to_string(i));
            if (md5.empty())
                GTEST_SKIP() << "no carousel site (QV_CAROUSEL_MD5_1..3)";
            images_.push_back({"http://127.0.0.1/carousel/banner" + std::to_string(i) + ".png", md5});
        }
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"qv_carousel_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }

    static std::string Env(const std::string& name)
    {
        char value[512] = {};
        return GetEnvironmentVariableA(name.c_str(), value, sizeof(value)) ? value : "";
    }
    // How many image requests the site has answered so far.
    static int ImageRequests()
    {
        std::ifstream log(Env("QV_CAROUSEL_LOG"));
        std::string line;
        int count = 0;
        while (std::getline(log, line))
            count += line.find("/carousel/") != std::string::npos;
        return count;
    }
    static std::string Read(const std::wstring& path)
    {
        std::ifstream file(std::filesystem::path(path), std::ios::binary);
        std::stringstream all;
        all << file.rdbuf();
        return all.str();
    }

    std::vector<CarouselImage> images_;
    std::wstring folder_;
};

TEST_F(CarouselCache, FetchesOnceThenKeepsMatchingFilesAndRefetchesAChangedOne)
{
    int before = ImageRequests();
    RefreshCarouselImages(images_, folder_);
    EXPECT_EQ(ImageRequests() - before, 3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(Read(BannerImagePath(folder_, i)).substr(1, 3), "PNG") << i;

    before = ImageRequests();
    RefreshCarouselImages(images_, folder_);
    EXPECT_EQ(ImageRequests() - before, 0) << "matching digests must not be fetched again";

    std::string original = Read(BannerImagePath(folder_, 2));
    std::ofstream(std::filesystem::path(BannerImagePath(folder_, 2)), std::ios::binary) << "changed";
    before = ImageRequests();
    RefreshCarouselImages(images_, folder_);
    EXPECT_EQ(ImageRequests() - before, 1);
    EXPECT_EQ(Read(BannerImagePath(folder_, 2)), original);
}

TEST_F(CarouselCache, AnImageThatCannotBeStoredLeavesTheOthers)
{
    std::filesystem::create_directories(BannerImagePath(folder_, 1)); // a folder where pr_1.png should go
    RefreshCarouselImages(images_, folder_);
    EXPECT_TRUE(std::filesystem::is_directory(BannerImagePath(folder_, 1)));
    EXPECT_EQ(Read(BannerImagePath(folder_, 3)).substr(1, 3), "PNG");
}

} // namespace
