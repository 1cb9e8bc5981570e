#include "UIProgress.h"

#include <cwchar>

#include "SkinValue.h"

namespace SkinUI {

CProgressUI::CProgressUI()
{
    textStyle_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    fixedHeight_ = 12;
}

void* CProgressUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"Progress") == 0 ? this : CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal)
{
    horizontal_ = horizontal;
    Invalidate();
}

void CProgressUI::SetMinValue(int min)
{
    min_ = min;
    Invalidate();
}

void CProgressUI::SetMaxValue(int max)
{
    max_ = max;
    Invalidate();
}

void CProgressUI::SetValue(int value)
{
    if (value > max_)
        value = max_;
    if (value < min_)
        value = min_;
    if (value == value_)
        return;
    value_ = value;
    Invalidate();
}

void CProgressUI::SetForeImage(const std::wstring& descriptor)
{
    foreImage_.SetText(descriptor);
    Invalidate();
}

void CProgressUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    const wchar_t* v = value.c_str();
    if (name == L"foreimage")
        SetForeImage(value);
    else if (name == L"hor")
        SetHorizontal(ParseBool(v));
    else if (name == L"min")
        SetMinValue(ParseInt(v));
    else if (name == L"max")
        SetMaxValue(ParseInt(v));
    else if (name == L"value")
        SetValue(ParseInt(v));
    else
        CLabelUI::SetAttribute(name, value);
}

RECT CProgressUI::GetFilledRect() const
{
    const int min = min_;
    const int max = max_ <= min ? min + 1 : max_;
    const int value = value_ < min ? min : value_ > max ? max : value_;
    const long long range = static_cast<long long>(max) - min;
    const int w = GetWidth(), h = GetHeight();
    if (horizontal_)
        return {0, 0, static_cast<int>(w * (static_cast<long long>(value) - min) / range), h};
    return {0, static_cast<int>(h * (static_cast<long long>(max) - value) / range), w, h};
}

void CProgressUI::PaintStatusImage(HDC dc)
{
    const RECT filled = GetFilledRect();
    DrawImage(dc, foreImage_, &filled);
}

}  // namespace SkinUI
