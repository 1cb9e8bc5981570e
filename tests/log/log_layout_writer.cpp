// Writes a fixed set of records into <folder>/layout.log, for the byte-level layout check.
#include "Log.h"

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  InitLog(L"layout.log", std::wstring(folder.begin(), folder.end()).c_str());
  LOGA(1, "start %d", 1);
  LOGA(1, "GBK\xA3\xBA%d\xC3\xEB\n", 5);
  LOGA(7, "dropped");
  LOGW(2, L"wide %s", L"text");
  LOGA(0, "debug");
  return 0;
}
