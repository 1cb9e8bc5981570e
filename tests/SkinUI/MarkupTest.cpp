// The skin's XML reader and image-descriptor parser: what loads, what fails with which text and place,
// and the file-size limit of markup read from disk.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "SkinUI/ImageDescriptorParse.h"
#include "SkinUI/SkinResources.h"
#include "SkinUI/SkinXml.h"

using SkinUI::CSkinXml;
using SkinUI::CSkinXmlNode;

namespace {

bool Load(CSkinXml& xml, const std::string& text)
{
    return xml.LoadBuffer(text.data(), text.size(), CSkinXml::kEncoding_Utf8);
}

TEST(SkinXml, BrokenMarkupSaysWhatAndWhere)
{
    struct Case {
        const char* markup;
        const wchar_t* error;
        const wchar_t* place; // the markup where the reader stopped
    };
    const Case cases[] = {
        {"<Window size='650,360'/>", L"Expected attribute value", L"'650,360'/>"},
        {"<Window size=\"650,360/>", L"Error while parsing attribute string", L"\"650,360/>"},
        {"<Window size/>", L"Error while parsing attributes", L"/>"},
        {"<Window><Button></Window>", L"Unmatched closing tag", L"</Window>"},
        {"<Window></Windows>", L"Unmatched closing tag", L"</Windows>"},
        {"<Window></Window x>", L"Unmatched closing tag", L"</Window x>"},
        {"<Window>text", L"Expected end-tag start", L""},
        {"<Window size=\"1\"", L"Expected start-tag closing", L""},
        {"< Window/>", L"Error parsing element name", L" Window/>"},
        {"Window/>", L"Expected start tag", L"Window/>"},
    };
    for (const Case& c : cases) {
        CSkinXml xml;
        EXPECT_FALSE(Load(xml, c.markup)) << c.markup;
        EXPECT_STREQ(xml.GetErrorText(), c.error) << c.markup;
        const std::wstring place = xml.GetErrorPlace();
        EXPECT_EQ(place.rfind(c.place, 0), 0u) << c.markup << " stopped at " << std::string(place.begin(), place.end());
    }
}

TEST(SkinXml, ReadsTheSubsetTheSkinUses)
{
    CSkinXml xml;
    ASSERT_TRUE(Load(xml, "<?xml version=\"1.0\"?><!-- the window -->\n"
                          "<Window a=\"&amp;&lt;&gt;&quot;&apos;&x;\">text"
                          "<Button disabledtextcolor=\"#00FFFFFF\"align=\"center\" /><Label/></Window>"))
        << std::string(xml.GetErrorText(), xml.GetErrorText() + wcslen(xml.GetErrorText()));
    CSkinXmlNode window = xml.GetRoot();
    EXPECT_STREQ(window.GetName(), L"Window");
    EXPECT_STREQ(window.GetAttributeValue(L"a"), L"&<>\"'&x;");
    CSkinXmlNode button = window.GetChild();
    ASSERT_EQ(button.GetAttributeCount(), 2); // no blank is needed between two attributes
    EXPECT_STREQ(button.GetAttributeValue(L"disabledtextcolor"), L"#00FFFFFF");
    EXPECT_STREQ(button.GetAttributeValue(L"align"), L"center");
    EXPECT_STREQ(button.GetSibling().GetName(), L"Label");
    EXPECT_EQ(button.GetSibling().GetParent().GetName(), window.GetName());
    EXPECT_STREQ(window.GetValue(), L"text");
    EXPECT_EQ(window.GetAttributeValue(L"missing"), nullptr);
}

TEST(SkinXml, ByteOrderMarkMakesNoDifference)
{
    const std::string markup = "<Window size=\"650,360\"><Label text=\"\xC3\xA9\"/></Window>";
    CSkinXml plain, marked;
    ASSERT_TRUE(Load(plain, markup));
    ASSERT_TRUE(Load(marked, "\xEF\xBB\xBF" + markup));
    EXPECT_STREQ(marked.GetRoot().GetName(), L"Window");
    EXPECT_STREQ(marked.GetRoot().GetChild().GetAttributeValue(L"text"), L"\u00E9");
    EXPECT_STREQ(plain.GetRoot().GetChild().GetAttributeValue(L"text"), L"\u00E9");
}

// Markup read from the resource path: exactly the limit loads, one byte more does not.
TEST(SkinXml, FileSizeLimit)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"skin_markup_test\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    SkinUI::SetResourcePath(folder);
    struct Case {
        const wchar_t* name;
        size_t size;
        bool loads;
    };
    const Case cases[] = {{L"limit.xml", CSkinXml::kMaxFileSize, true},
                          {L"over.xml", CSkinXml::kMaxFileSize + 1, false}};
    for (const Case& c : cases) {
        const std::string head = "<Window>";
        const std::string tail = "</Window>";
        std::string markup = head + std::string(c.size - head.size() - tail.size(), ' ') + tail;
        std::ofstream((folder + c.name).c_str(), std::ios::binary) << markup;
        CSkinXml xml;
        EXPECT_EQ(xml.LoadFile(c.name), c.loads) << c.size;
        if (!c.loads)
            EXPECT_STREQ(xml.GetErrorText(), L"File too large");
        DeleteFileW((folder + c.name).c_str());
    }
    CSkinXml missing;
    EXPECT_FALSE(missing.LoadFile(L"absent.xml"));
    EXPECT_STREQ(missing.GetErrorText(), L"Error opening file");
    RemoveDirectoryW(folder.c_str());
}

TEST(ImageDescriptor, ItemsUpToTheFirstThatDoesNotFit)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* file;
        bool hasDest;
    };
    const Case cases[] = {
        {L"img\\checked.png", L"img\\checked.png", false},
        {L"file='img/checked.png' dest='0,8,14,22'", L"img/checked.png", true},
        {L"file='img/checked.png'  dest='0,8,14,22'", L"img/checked.png", true},
        {L"file='img/checked.png'dest='0,8,14,22'", L"img/checked.png", false}, // no blank: dest is not read
    };
    for (const Case& c : cases) {
        const SkinUI::ImageDescriptorItems items = SkinUI::ParseImageDescriptor(c.text);
        EXPECT_EQ(items.file, c.file);
        EXPECT_EQ(items.hasDest, c.hasDest);
        if (items.hasDest) {
            EXPECT_EQ(items.dest.left, 0);
            EXPECT_EQ(items.dest.top, 8);
            EXPECT_EQ(items.dest.right, 14);
            EXPECT_EQ(items.dest.bottom, 22);
        }
    }
}

} // namespace
