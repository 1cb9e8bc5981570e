#include "FrameTestSupport.h"

#include "SkinUI/SkinResources.h"

int RunFrameTests(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    SkinUI::SetInstance(GetModuleHandleW(nullptr));
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder = module;
    SkinUI::SetResourcePath(folder.substr(0, folder.find_last_of(L'\\') + 1));
    return RUN_ALL_TESTS();
}
