// The packs embedded in the executable: the language pack (RCDATA 105), written out at every start, and the
// channel code (RCDATA 106). The installer window's members of the same names call these.
#pragma once

#include <cstddef>
#include <string>

class LanguageManager;

// Writes every entry of a zip archive under target, replacing files of the same name and leaving other
// files alone. An entry that cannot be written is skipped. Answers false when the bytes are no readable
// archive (the target folder is created all the same).
bool ExtractZipToFolder(const void* data, size_t size, const std::wstring& target);

// Extracts the language pack into workFolder + "language\". Without a readable pack nothing is written and
// files of an earlier run stay; the language manager then falls back to its built-in values.
void LoadResZipFile(const std::wstring& workFolder);

// Reads the channel code into language (without its CR LF); empty when the resource is missing.
void LoadDomainFile(LanguageManager& language);
