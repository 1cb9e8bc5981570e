#include "SkinValue.h"

#include <climits>

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads count numbers, each from the character after the end of the previous one.
void ParseInts(const wchar_t* text, int* out, int count)
{
    const wchar_t* p = text;
    for (int i = 0; i < count; ++i) {
        out[i] = 0;
        if (!p)
            continue;
        const wchar_t* end = nullptr;
        out[i] = ParseInt(p, &end);
        p = *end ? end + 1 : nullptr;
    }
}

}  // namespace

int ParseInt(const wchar_t* text, const wchar_t** end)
{
    const wchar_t* p = text;
    if (end)
        *end = text;
    if (!p)
        return 0;
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-')
        negative = *p++ == L'-';
    if (*p < L'0' || *p > L'9')
        return 0;
    long long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        if (value <= INT_MAX)
            value = value * 10 + (*p - L'0');
    }
    if (end)
        *end = p;
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool ParseBool(const wchar_t* text)
{
    const wchar_t* t = L"true";
    if (!text)
        return false;
    while (*t && *text == *t)
        ++text, ++t;
    return *t == 0 && *text == 0;
}

bool ParseBoolNoCase(const wchar_t* text) { return text && EqualsNoCase(text, L"true"); }

uint32_t ParseColor(const wchar_t* text, bool skipBlanks)
{
    if (!text)
        return 0;
    if (skipBlanks)
        while (IsBlank(*text))
            ++text;
    if (*text == L'#')
        ++text;
    while (IsBlank(*text))
        ++text;
    uint64_t value = 0;
    for (int d; (d = HexDigit(*text)) >= 0; ++text) {
        value = value * 16 + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFu)
            return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

RectValue ParseRect(const wchar_t* text)
{
    int v[4];
    ParseInts(text, v, 4);
    return {v[0], v[1], v[2], v[3]};
}

SizeValue ParseSize(const wchar_t* text)
{
    int v[2];
    ParseInts(text, v, 2);
    return {v[0], v[1]};
}

bool EqualsNoCase(const wchar_t* a, const wchar_t* b)
{
    if (!a || !b)
        return a == b;
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

}  // namespace SkinUI
