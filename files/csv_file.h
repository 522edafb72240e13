#pragma once
// The document file: one line per document line, each followed by CR LF,
// the bytes as they stand (cp932), no byte-order mark.
#include <string>
#include <string_view>
#include <vector>

#include "files/text_lines.h"  // SplitLines
#include "ui/line_store.h"

namespace dorv::files {

// Writes the lines to path without ever losing the file that was there: the
// text goes to a temporary file beside it, which replaces the old file only
// once it is completely written. A symbolic link is written through (the
// link stays, its target gets the text); the new file keeps the old one's
// mode and, where this user may set it, its owner. No temporary file is left
// behind, also when the process is killed (an unnamed file where the file
// system has them; else the next save removes what a killed one left).
// Throws ui::Exception with a clear message (the old file and the caller's
// lines stay as they were).
void SaveLines(const std::string& path, const std::vector<std::string>& lines);
void SaveLines(const std::string& path, const ui::LineStore& lines);

// Reads a file's lines (ended by CR LF, LF or CR). Throws ui::Exception when
// the file cannot be read, and for anything but a regular file (a FIFO or a
// device is refused before it is read, without waiting on it).
std::vector<std::string> LoadLines(const std::string& path);

// The name Button6 saves under: ".csv" appended when the file name itself
// (not a folder above it) has no extension.
std::string CsvSaveName(const std::string& chosen);

}  // namespace dorv::files
