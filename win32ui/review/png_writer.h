#pragma once
#include <string>
#include <vector>

namespace dorv::win32ui {

// Writes an RGB image (3 bytes a pixel, rows top down) as a PNG file, its
// pixels stored uncompressed. False when the file cannot be written.
bool WritePng(const std::wstring& path, int w, int h, const std::vector<unsigned char>& rgb);

}  // namespace dorv::win32ui
