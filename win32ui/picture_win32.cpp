#include "win32ui/picture_win32.h"

// The few functions of GDI+'s flat interface that decode a picture.
extern "C" {
struct DorvGdiplusStartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
int WINAPI GdiplusStartup(ULONG_PTR* token, const DorvGdiplusStartupInput* input, void* output);
int WINAPI GdipCreateBitmapFromStream(IStream* stream, void** bitmap);
int WINAPI GdipCreateHBITMAPFromBitmap(void* bitmap, HBITMAP* out, DWORD background);
int WINAPI GdipDisposeImage(void* image);
}

namespace dorv::win32ui {

HBITMAP BitmapFromPng(std::string_view png) {
  static ULONG_PTR token = 0;
  if (!token) {
    DorvGdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token, &input, nullptr) != 0) return nullptr;
  }
  IStream* stream =
      SHCreateMemStream(reinterpret_cast<const BYTE*>(png.data()), static_cast<UINT>(png.size()));
  if (!stream) return nullptr;
  void* bitmap = nullptr;
  HBITMAP out = nullptr;
  if (GdipCreateBitmapFromStream(stream, &bitmap) == 0) {
    // Transparent parts take the colour of the dialog's face.
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    DWORD argb = 0xFF000000u | (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    if (GdipCreateHBITMAPFromBitmap(bitmap, &out, argb) != 0) out = nullptr;
    GdipDisposeImage(bitmap);
  }
  stream->Release();
  return out;
}

}  // namespace dorv::win32ui
