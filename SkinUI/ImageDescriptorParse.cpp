#include "ImageDescriptorParse.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool IsKeyChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
}

void Apply(ImageDescriptorItems& d, const std::wstring& key, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (key == L"file")
        d.file = value;
    else if (key == L"res")
        d.res = value;
    else if (key == L"restype")
        d.restype = value;
    else if (key == L"color")
        d.color = ParseColor(v), d.hasColor = true;
    else if (key == L"dest")
        d.dest = ParseRect(v), d.hasDest = true;
    else if (key == L"source")
        d.source = ParseRect(v), d.hasSource = true;
    else if (key == L"corner" || key == L"scale9")
        d.corner = ParseRect(v);
    else if (key == L"mask")
        d.mask = ParseColor(v);
    else if (key == L"fade") {
        const int fade = ParseInt(v);
        d.fade = fade < 0 ? 0 : fade > 255 ? 255 : fade;
    } else if (key == L"hole")
        d.hole = ParseBool(v);
    else if (key == L"xtiled")
        d.xtiled = ParseBool(v);
    else if (key == L"ytiled")
        d.ytiled = ParseBool(v);
    else if (key == L"hsl")
        d.hsl = ParseBool(v);
}

}  // namespace

ImageDescriptorItems ParseImageDescriptor(const std::wstring& text)
{
    ImageDescriptorItems d;
    d.file = text;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        while (i < n && IsBlank(text[i]))
            ++i;
        const size_t keyStart = i;
        while (i < n && IsKeyChar(text[i]))
            ++i;
        if (i == keyStart)
            break;
        const std::wstring key = text.substr(keyStart, i - keyStart);
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i >= n || text[i] != L'=')
            break;
        ++i;
        while (i < n && IsBlank(text[i]))
            ++i;
        if (i >= n || text[i] != L'\'')
            break;
        const size_t close = text.find(L'\'', i + 1);
        if (close == std::wstring::npos)
            break;
        Apply(d, key, text.substr(i + 1, close - i - 1));
        i = close + 1;
        if (i < n && !IsBlank(text[i]))
            break;  // a blank must separate the items
    }
    return d;
}

}  // namespace SkinUI
