#pragma once
#include <cstddef>
#include <string>

namespace dorv::platform {

// Replaces the file at path with text at once: the text goes to a new file
// beside it, reaches the disk, and only then takes the file's name, so that
// the file is always the old one or the new one whole. A symbolic link is
// followed (the link stays). The new file keeps the mode of the one it
// replaces. Returns "" on success, else the reason in the system's words.
std::string ReplaceFileText(const std::string& path, const std::string& text);

// Reads a regular file of at most maxBytes into text, without blocking on a
// special file (a FIFO would wait for a writer for good). Returns "" on
// success, else the reason ("not a regular file (a FIFO)", the system's text).
std::string ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& text);

}  // namespace dorv::platform
