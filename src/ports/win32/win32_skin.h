// The skin's drawing in the Win32 port: pictures decoded by GDI+ (a "PNG" resource of the
// executable, else the built-in copy), drawn unscaled with their alpha; image buttons one
// frame of their strip at a time. GDI+ must be started (the toolkit does).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/png_button.h"

struct IStream;
namespace Gdiplus {
class GpBitmap;
}

namespace zeva::win32 {

class SkinPicture {
 public:
  // Picture `id`; null when it is missing or does not decode.
  static std::unique_ptr<SkinPicture> Load(int id);
  ~SkinPicture();
  SkinPicture(const SkinPicture&) = delete;
  SkinPicture& operator=(const SkinPicture&) = delete;

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // The pixel as 0xAARRGGBB (0 outside the picture).
  uint32_t PixelAt(int x, int y) const;

  // The whole picture with its top left corner at (x, y); transparent pixels show what lies
  // below.
  void Draw(HDC dc, int x, int y) const;
  // One frame of a four-frame strip at (x, y).
  void DrawFrame(HDC dc, ButtonFrame frame, int x, int y) const;
  // The part of the picture from (sourceX, sourceY) of `width` x `height` at (x, y); what
  // lies outside the picture is left as it is.
  void DrawArea(HDC dc, int x, int y, int sourceX, int sourceY, int width, int height) const;
  // The picture as a GDI bitmap, its transparent pixels blended over `background`
  // (0xRRGGBB); the caller deletes it.
  HBITMAP CreateBitmap(uint32_t background) const;
  // The picture scaled to a square icon of `size` pixels; the caller destroys it.
  HICON CreateIcon(int size) const;

 private:
  SkinPicture(IStream* stream, Gdiplus::GpBitmap* bitmap);

  IStream* m_stream;  // GDI+ reads the bitmap's pixels from it for the bitmap's lifetime
  Gdiplus::GpBitmap* m_bitmap;
  int m_width = 0;
  int m_height = 0;
};

// Icon `id` at `size` pixels: the executable's icon resource when it has one, else made
// from picture `id`; null when neither exists. The caller destroys it.
HICON LoadSkinIcon(int id, int size);

}  // namespace zeva::win32
