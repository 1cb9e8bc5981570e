// The installer window's steps that need no window: the folder check, the silent run of the downloaded
// installer, its progress file and the product's channel file.
#pragma once

#include <cstdint>
#include <string>

// Whether an installation folder can be used: it exists, or at least its parent does (it is created later).
[[nodiscard]] bool CheckFolderPath(const std::wstring& folder);

// The part of the folder up to and including its first ":", empty when it has none.
std::wstring DriveOfFolder(const std::wstring& folder);

// Free megabytes the download needs on the installation drive: three times the installer's whole MiB. The
// size is read unsigned: an installer of 2 GiB or more must not turn the need negative and always pass.
constexpr int NeededFreeMB(uint32_t installerBytes)
{
    return 3 * static_cast<int>(installerBytes >> 20);
}

// " /verysilent /quorvane_down /wait_run /path="<folder>" /progress="<progress file>"".
std::wstring MakeInstallerCommandLine(const std::wstring& installFolder, const std::wstring& progressFile);

// Runs the installer and waits for its end without a time limit. Always true: a failed start is not
// reported, the flow goes on as if it had run.
bool RunSilentInstaller(const std::wstring& installer, const std::wstring& installFolder,
                        const std::wstring& progressFile);

// The leading decimal number of the progress file's first 10 bytes (0 without digits); false when the
// file cannot be opened.
[[nodiscard]] bool ReadProgressValue(const std::wstring& progressFile, int& value);

// The bar's percentage for an installer progress value: the download fills 0 to ratio, the installer
// the rest. Not clamped: the installer's value is passed on as it maps.
constexpr int MapInstallProgress(int ratio, int value)
{
    return ratio + (100 - ratio) * value / 100;
}

// Creates the product folder with its parents.
void MakeProductFolder(const std::wstring& productFolder);

// Writes the channel code's ANSI bytes, without terminator or line break, to productFolder + "domain";
// nothing is written for an empty code.
void WriteChannelFile(const std::wstring& productFolder, const std::string& ansiCode);
