#include "SkinXml.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace SkinUI {

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr size_t kMaxErrorText = 99;
constexpr size_t kMaxErrorPlace = 49;

bool IsNameChar(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L':';
}

bool IsBlank(wchar_t c) { return c != 0 && c <= 32; }

void AppendUnit(std::vector<wchar_t>& out, uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

// Malformed sequences become U+FFFD, one per offending byte.
void DecodeUtf8(const uint8_t* p, size_t n, std::vector<wchar_t>& out)
{
    out.reserve(n + 1);
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        size_t len = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
        if (b >= 0xF5)
            len = 0;
        uint32_t cp = len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
                   (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        AppendUnit(out, cp);
        i += len;
    }
}

void DecodeUtf16(const uint8_t* p, size_t n, std::vector<wchar_t>& out)
{
    bool bigEndian = false;
    if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        bigEndian = true, p += 2, n -= 2;
    else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        p += 2, n -= 2;
    out.reserve(n / 2 + 1);
    for (size_t i = 0; i + 1 < n; i += 2)
        out.push_back(static_cast<wchar_t>(bigEndian ? p[i] << 8 | p[i + 1] : p[i] | p[i + 1] << 8));
}

void DecodeAnsi(const uint8_t* p, size_t n, std::vector<wchar_t>& out)
{
#ifdef _WIN32
    if (n > 0 && n < 0x7FFFFFFF) {
        const int count = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(p), static_cast<int>(n),
                                              nullptr, 0);
        out.resize(static_cast<size_t>(count));
        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(p), static_cast<int>(n), out.data(), count);
    }
#else
    out.assign(p, p + n);  // Latin-1 stands in for the system code page off Windows
#endif
}

struct Entity {
    const wchar_t* text;
    wchar_t value;
};
constexpr Entity kEntities[] = {
    {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''},
};

}  // namespace

// ---- nodes

const wchar_t* CSkinXmlNode::GetName() const { return IsValid() ? &xml_->text_[xml_->elements_[index_].name] : L""; }

const wchar_t* CSkinXmlNode::GetValue() const
{
    if (!IsValid() || xml_->elements_[index_].data == kNone)
        return L"";
    return &xml_->text_[xml_->elements_[index_].data];
}

int CSkinXmlNode::GetAttributeCount() const
{
    return IsValid() ? static_cast<int>(xml_->elements_[index_].attributeCount) : 0;
}

const wchar_t* CSkinXmlNode::GetAttributeName(int i) const
{
    if (i < 0 || i >= GetAttributeCount())
        return L"";
    return &xml_->text_[xml_->attributes_[xml_->elements_[index_].firstAttribute + i].name];
}

const wchar_t* CSkinXmlNode::GetAttributeValue(int i) const
{
    if (i < 0 || i >= GetAttributeCount())
        return L"";
    return &xml_->text_[xml_->attributes_[xml_->elements_[index_].firstAttribute + i].value];
}

const wchar_t* CSkinXmlNode::GetAttributeValue(const wchar_t* name) const
{
    for (int i = 0, n = GetAttributeCount(); i < n; ++i)
        if (std::wcscmp(GetAttributeName(i), name) == 0)
            return GetAttributeValue(i);
    return nullptr;
}

CSkinXmlNode CSkinXmlNode::GetChild() const
{
    return IsValid() ? CSkinXmlNode(xml_, xml_->elements_[index_].child) : CSkinXmlNode();
}

CSkinXmlNode CSkinXmlNode::GetSibling() const
{
    return IsValid() ? CSkinXmlNode(xml_, xml_->elements_[index_].next) : CSkinXmlNode();
}

CSkinXmlNode CSkinXmlNode::GetParent() const
{
    return IsValid() ? CSkinXmlNode(xml_, xml_->elements_[index_].parent) : CSkinXmlNode();
}

// ---- reader

void CSkinXml::Release()
{
    text_.clear();
    elements_.clear();
    attributes_.clear();
    terminators_.clear();
    lastTop_ = -1;
    errorText_.clear();
    errorPlace_.clear();
}

bool CSkinXml::LoadBuffer(const void* bytes, size_t size, int encoding)
{
    Release();
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (!p)
        size = 0;
    if (encoding == kEncoding_Utf16) {
        DecodeUtf16(p, size, text_);
    } else if (encoding == kEncoding_Ansi) {
        DecodeAnsi(p, size, text_);
    } else {
        if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
            p += 3, size -= 3;
        DecodeUtf8(p, size, text_);
    }
    // The text is a C string to its users: it ends at the first zero.
    for (size_t i = 0; i < text_.size(); ++i)
        if (text_[i] == 0) {
            text_.resize(i);
            break;
        }
    text_.push_back(0);
    return Parse();
}

bool CSkinXml::Fail(const wchar_t* text, size_t at)
{
    errorText_.assign(text, std::min(std::wcslen(text), kMaxErrorText));
    errorPlace_.clear();
    for (size_t i = at; i < text_.size() && text_[i] && errorPlace_.size() < kMaxErrorPlace; ++i)
        errorPlace_.push_back(text_[i]);
    elements_.clear();
    attributes_.clear();
    return false;
}

bool CSkinXml::StartsWith(size_t i, const wchar_t* s) const
{
    for (; *s; ++s, ++i)
        if (At(i) != *s)
            return false;
    return true;
}

void CSkinXml::SkipBlanks(size_t& i) const
{
    while (IsBlank(At(i)))
        ++i;
}

size_t CSkinXml::ReadName(size_t& i) const
{
    const size_t start = i;
    while (IsNameChar(At(i)))
        ++i;
    return i - start;
}

CSkinXml::Span CSkinXml::ReadText(size_t& i, wchar_t stop, bool* stopped)
{
    const size_t start = i;
    size_t out = i;
    *stopped = false;
    while (wchar_t c = At(i)) {
        if (c == stop) {
            *stopped = true;
            break;
        }
        if (c == L'&') {
            const Entity* hit = nullptr;
            for (const Entity& e : kEntities)
                if (StartsWith(i, e.text))
                    hit = &e;
            if (hit) {
                text_[out++] = hit->value;
                i += std::wcslen(hit->text);
                continue;
            }
        }
        if (!preserveWhitespace_ && IsBlank(c)) {
            text_[out++] = c;
            ++i;
            SkipBlanks(i);
            continue;
        }
        text_[out++] = c;
        ++i;
    }
    return {start, out - start};
}

int CSkinXml::AddElement(size_t name, int parent)
{
    Element e;
    e.name = name;
    e.parent = parent;
    e.firstAttribute = attributes_.size();
    e.data = kNone;
    const int index = static_cast<int>(elements_.size());
    elements_.push_back(e);
    if (parent >= 0) {
        Element& p = elements_[parent];
        if (p.lastChild < 0)
            p.child = index;
        else
            elements_[p.lastChild].next = index;
        p.lastChild = index;
    } else {
        if (lastTop_ >= 0)
            elements_[lastTop_].next = index;
        lastTop_ = index;
    }
    return index;
}

// Iterative, so deeply nested input cannot exhaust the stack.
bool CSkinXml::Parse()
{
    size_t i = 0;
    int current = -1;
    std::vector<size_t> nameLength;  // per element, for matching its closing tag
    for (;;) {
        SkipBlanks(i);
        if (At(i) == 0) {
            if (current >= 0)
                return Fail(L"Expected end-tag start", i);
            break;
        }
        if (StartsWith(i, L"<?")) {
            while (At(i) && !StartsWith(i, L"?>"))
                ++i;
            if (At(i))
                i += 2;
            continue;
        }
        if (StartsWith(i, L"<!")) {
            while (At(i) && !StartsWith(i, L"->"))
                ++i;
            if (At(i))
                i += 2;
            continue;
        }
        if (current >= 0 && StartsWith(i, L"</")) {
            const size_t at = i;
            i += 2;
            const size_t start = i;
            const size_t len = ReadName(i);
            const Element& e = elements_[current];
            if (len != nameLength[current] ||
                std::wmemcmp(&text_[start], &text_[e.name], len) != 0)
                return Fail(L"Unmatched closing tag", at);
            SkipBlanks(i);
            if (At(i) != L'>')
                return Fail(L"Unmatched closing tag", at);
            ++i;
            current = e.parent;
            continue;
        }
        if (At(i) != L'<')
            return Fail(current >= 0 ? L"Expected end-tag start" : L"Expected start tag", i);
        ++i;
        const size_t name = i;
        const size_t len = ReadName(i);
        if (len == 0)
            return Fail(L"Error parsing element name", i);
        const int element = AddElement(name, current);
        nameLength.push_back(len);
        terminators_.push_back(name + len);
        for (;;) {
            SkipBlanks(i);
            if (!IsNameChar(At(i)))
                break;
            const size_t attrName = i;
            const size_t attrLen = ReadName(i);
            SkipBlanks(i);
            if (At(i) != L'=')
                return Fail(L"Error while parsing attributes", i);
            ++i;
            SkipBlanks(i);
            if (At(i) != L'"')
                return Fail(L"Expected attribute value", i);
            const size_t valueAt = i++;
            bool closed = false;
            const Span value = ReadText(i, L'"', &closed);
            if (!closed)
                return Fail(L"Error while parsing attribute string", valueAt);
            ++i;  // no blank needed before the next attribute
            attributes_.push_back({attrName, value.start});
            terminators_.push_back(attrName + attrLen);
            terminators_.push_back(value.start + value.length);
            ++elements_[element].attributeCount;
        }
        if (StartsWith(i, L"/>")) {
            i += 2;
            continue;
        }
        if (At(i) != L'>')
            return Fail(L"Expected start-tag closing", i);
        ++i;
        bool stopped = false;
        const Span data = ReadText(i, L'<', &stopped);
        if (!stopped)
            return Fail(L"Expected end-tag start", i);
        elements_[element].data = data.start;
        terminators_.push_back(data.start + data.length);
        current = element;
    }
    if (elements_.empty())
        return Fail(L"Expected start tag", i);
    for (size_t t : terminators_)
        text_[t] = 0;
    terminators_.clear();
    return true;
}

}  // namespace SkinUI
