#include "InternetHandles.h"

#include <windows.h>
#include <winhttp.h>

void WinHttpHandleTraits::Close(type h)
{
    WinHttpCloseHandle(h);
}
