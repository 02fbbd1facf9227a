// Unpacking a zip package into its folder.
#pragma once

#include <string>

#include <minizip/unzip.h>

// Empties folder (removing it) and unpacks the zip into it.
bool UnzipPackage(const std::wstring& zip, const std::wstring& folder);

// Every entry of the zip into folder, in archive order; false at the first entry that cannot
// be written or would land outside folder. Paths in the thread's ANSI code page.
bool ExtractZip(const std::string& zip, const std::string& folder);
// The entry the archive is positioned on, with every missing folder on its way.
bool ExtractCurrentFile(unzFile zip, const std::string& folder);
