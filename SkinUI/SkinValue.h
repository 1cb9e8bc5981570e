// The value syntax of skin attributes: integers, booleans, colours, sizes and rectangles.
// Portable (no windows.h): the markup reader and the image descriptors are fuzzed natively.
#pragma once

#include <cstdint>

namespace SkinUI {

struct RectValue {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct SizeValue {
    int cx = 0, cy = 0;
};

// Decimal like a C string-to-integer conversion: leading blanks, optional sign, leading digits; no digits
// gives 0. Saturates at the int range. *end (when given) points after the digits read, or at text when none.
int ParseInt(const wchar_t* text, const wchar_t** end = nullptr);

// Only the exact text "true" is true.
bool ParseBool(const wchar_t* text);
bool ParseBoolNoCase(const wchar_t* text);

// Optional "#", then hexadecimal digits as 0xAARRGGBB (six digits leave alpha 0). With skipBlanks, blanks
// before the "#" are skipped too.
uint32_t ParseColor(const wchar_t* text, bool skipBlanks = false);

// Numbers separated by single characters; missing trailing numbers read as 0.
RectValue ParseRect(const wchar_t* text);
SizeValue ParseSize(const wchar_t* text);

bool EqualsNoCase(const wchar_t* a, const wchar_t* b);

}  // namespace SkinUI
