#include "UICheckBox.h"

#include <cwchar>

namespace SkinUI {

void* CCheckBoxUI::GetInterface(const wchar_t* name)
{
    return std::wcscmp(name, L"CheckBox") == 0 ? this : COptionUI::GetInterface(name);
}

}  // namespace SkinUI
