#include "SkinUI/ZipArchive.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ZipFixture.h"

using namespace SkinUI;

namespace {

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string Repeated(size_t n)
{
    std::string s;
    for (size_t i = 0; s.size() < n; ++i)
        s += "line " + std::to_string(i % 97) + " of the skin\n";
    s.resize(n);
    return s;
}

void Set32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

}  // namespace

TEST(ZipArchive, UnpacksStoredAndDeflatedEntries)
{
    const std::string big = Repeated(200000);
    const auto zip = zipfixture::Build({{"img/", "", false},
                                        {"img/logo.png", "\x89PNG stored bytes", false},
                                        {"main.xml", big, true},
                                        {"empty.txt", "", true}},
                                       "a comment after the directory");
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
    ASSERT_EQ(archive.GetCount(), 4u);
    EXPECT_TRUE(archive.GetEntry(0).IsFolder());
    EXPECT_EQ(archive.GetEntry(2).method, 8);
    EXPECT_EQ(archive.GetEntry(2).size, big.size());

    std::vector<uint8_t> out;
    ASSERT_EQ(archive.Unpack(1, out), kZip_Ok);
    EXPECT_EQ(Text(out), "\x89PNG stored bytes");
    ASSERT_EQ(archive.Unpack(2, out), kZip_Ok);
    EXPECT_EQ(Text(out), big);
    EXPECT_EQ(archive.Unpack(3, out), kZip_Ok);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(archive.Unpack(0, out), kZip_Ok);
}

TEST(ZipArchive, LookupFoldsSeparatorsAndOptionallyCase)
{
    const auto zip = zipfixture::Build({{"img/checked.png", "a"}, {"IMG/Checked.png", "b"}, {"main.xml", "c"}});
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
    struct Case {
        const char* name;
        bool ignoreCase;
        int index;
    };
    const Case cases[] = {
        {"img\\checked.png", true, 0}, {"img/checked.png", true, 0},   {"IMG\\CHECKED.PNG", true, 0},
        {"IMG/Checked.png", false, 1}, {"IMG\\CHECKED.PNG", false, -1}, {"img\\checked.png", false, 0},
        {"checked.png", true, -1},     {"img/checked.pn", true, -1},    {"", true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(archive.Find(c.name, c.ignoreCase), c.index) << c.name << " ignoreCase=" << c.ignoreCase;
}

TEST(ZipArchive, SmallBufferGetsTheStartAndMore)
{
    const std::string big = Repeated(5000);
    for (bool deflate : {false, true}) {
        const auto zip = zipfixture::Build({{"a.xml", big, deflate}});
        CZipArchive archive;
        ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
        std::vector<char> buffer(100);
        EXPECT_EQ(archive.Unpack(0, buffer.data(), buffer.size()), kZip_More) << deflate;
        EXPECT_EQ(std::string(buffer.data(), buffer.size()), big.substr(0, 100)) << deflate;
        buffer.resize(big.size() + 10);
        EXPECT_EQ(archive.Unpack(0, buffer.data(), buffer.size()), kZip_Ok) << deflate;
        EXPECT_EQ(std::string(buffer.data(), big.size()), big) << deflate;
    }
}

TEST(ZipArchive, RefusesWhatIsNotAnArchive)
{
    const auto good = zipfixture::Build({{"a.txt", "hello"}});
    std::vector<std::vector<uint8_t>> bad = {
        {},
        std::vector<uint8_t>(21, 0),
        std::vector<uint8_t>(4096, 'x'),
        std::vector<uint8_t>(good.begin(), good.end() - 1),  // end record cut short
    };
    auto wrongOffset = good;
    Set32(wrongOffset, wrongOffset.size() - 6, 0x7FFFFFFF);  // directory offset past the end
    bad.push_back(wrongOffset);
    auto wrongCount = good;
    wrongCount[wrongCount.size() - 12] = 5;  // five records claimed, one present
    bad.push_back(wrongCount);
    for (size_t i = 0; i < bad.size(); ++i) {
        CZipArchive archive;
        EXPECT_FALSE(archive.Open(bad[i].data(), bad[i].size())) << "case " << i;
        EXPECT_EQ(archive.GetCount(), 0u) << "case " << i;
    }
}

TEST(ZipArchive, DamagedEntriesAreReportedNotReturned)
{
    const std::string body = Repeated(3000);
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>& zip);
        ZipResult expected;
    };
    const Case cases[] = {
        {"wrong crc", [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 16, 1234); }, kZip_Corrupt},
        {"local header elsewhere", [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 42, 7); },
         kZip_Corrupt},
        {"local header past the end",
         [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 42, 0xFFFFFF00); }, kZip_Corrupt},
        {"packed size past the end",
         [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 20, 0x10000000); }, kZip_Corrupt},
        {"size larger than the stream holds",
         [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 24, 4000); }, kZip_Corrupt},
        {"size smaller than the stream holds",
         [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 24, 2000); }, kZip_Corrupt},
        {"implausible size", [](auto& z) { Set32(z, zipfixture::DirectoryRecord(z, 0) + 24, 0xF0000000); },
         kZip_Corrupt},
        {"broken stream", [](auto& z) { z[30 + 5] ^= 0xFF, z[30 + 6] ^= 0x5A, z[30 + 7] ^= 0xA5; },
         kZip_Corrupt},
        {"method 12", [](auto& z) { z[zipfixture::DirectoryRecord(z, 0) + 10] = 12; }, kZip_Unsupported},
        {"encrypted", [](auto& z) { z[zipfixture::DirectoryRecord(z, 0) + 8] = 1; }, kZip_Unsupported},
    };
    for (const Case& c : cases) {
        auto zip = zipfixture::Build({{"a.xml", body, true}});
        c.damage(zip);
        CZipArchive archive;
        ASSERT_TRUE(archive.Open(zip.data(), zip.size())) << c.what;
        std::vector<uint8_t> out;
        EXPECT_EQ(archive.Unpack(0, out), c.expected) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
    CZipArchive archive;
    const auto zip = zipfixture::Build({{"a.xml", body, true}});
    ASSERT_TRUE(archive.Open(zip.data(), zip.size()));
    std::vector<uint8_t> out;
    EXPECT_EQ(archive.Unpack(1, out), kZip_BadIndex);
}
