#include "InternetHandles.h"

#include <windows.h>
#include <wininet.h>

void WinInetHandleTraits::Close(type h)
{
    InternetCloseHandle(h);
}
