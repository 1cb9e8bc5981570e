// The skin's XML reader on arbitrary bytes: the first byte picks the encoding, the rest is the markup.
// Every node is visited, as the markup builder does.
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "SkinXml.h"

namespace {

size_t Visit(const SkinUI::CSkinXmlNode& node, int depth)
{
    size_t seen = 0;
    for (SkinUI::CSkinXmlNode n = node; n.IsValid() && depth < 200; n = n.GetSibling()) {
        seen += std::wcslen(n.GetName()) + std::wcslen(n.GetValue());
        for (int i = 0; i < n.GetAttributeCount(); ++i)
            seen += std::wcslen(n.GetAttributeName(i)) + std::wcslen(n.GetAttributeValue(i));
        if (n.GetAttributeValue(L"name"))
            ++seen;
        if (n.GetChild().IsValid() && !n.GetChild().GetParent().IsValid())
            __builtin_trap(); // a child always knows its parent
        seen += Visit(n.GetChild(), depth + 1);
    }
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    SkinUI::CSkinXml xml;
    if (xml.LoadBuffer(data + 1, size - 1, data[0] % 2 == 0 ? SkinUI::CSkinXml::kEncoding_Utf8
                                                          : SkinUI::CSkinXml::kEncoding_Utf16))
        Visit(xml.GetRoot(), 0);
    else if (std::wcslen(xml.GetErrorText()) == 0)
        __builtin_trap(); // a failed load always says why
    return 0;
}
