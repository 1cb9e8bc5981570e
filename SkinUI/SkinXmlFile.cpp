#include "SkinXml.h"

#include "SkinResources.h"

namespace SkinUI {

bool CSkinXml::LoadFile(const wchar_t* fileName, int encoding)
{
    Release();
    std::vector<uint8_t> bytes;
    std::wstring error;
    if (!ReadSkinFile(fileName ? fileName : L"", bytes, error)) {
        errorText_ = error;
        return false;
    }
    return LoadBuffer(bytes.data(), bytes.size(), encoding);
}

}  // namespace SkinUI
