#include "ports/win32/win32_skin.h"

// After windows.h; GDI+ needs the OLE types that the lean windows.h leaves out.
#include <ole2.h>
#include <shlwapi.h>
//
#include <gdiplus.h>

#include <algorithm>
#include <span>

#include "res/png_resources.h"

namespace zeva::win32 {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// The executable's own "PNG" resource of that number wins over the built-in picture, so
// a re-skinned executable shows its own.
std::span<const BYTE> PngBytes(int id) {
  if (const HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG")) {
    const HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(nullptr, found);
    if (data && size > 0) return {static_cast<const BYTE*>(data), size};
  }
  const std::span<const unsigned char> builtIn = res::FindPngResource(id);
  return {builtIn.data(), builtIn.size()};
}

class Graphics {
 public:
  explicit Graphics(HDC dc) { GdipCreateFromHDC(dc, &m_graphics); }
  explicit Graphics(GpImage* image) { GdipGetImageGraphicsContext(image, &m_graphics); }
  ~Graphics() {
    if (m_graphics) GdipDeleteGraphics(m_graphics);
  }
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;
  GpGraphics* get() const { return m_graphics; }

 private:
  GpGraphics* m_graphics = nullptr;
};

}  // namespace

std::unique_ptr<SkinPicture> SkinPicture::Load(int id) {
  const std::span<const BYTE> png = PngBytes(id);
  if (png.empty()) return nullptr;
  IStream* stream = ::SHCreateMemStream(png.data(), static_cast<UINT>(png.size()));
  if (!stream) return nullptr;
  GpBitmap* bitmap = nullptr;
  if (GdipCreateBitmapFromStream(stream, &bitmap) != Ok || !bitmap) {
    stream->Release();
    return nullptr;
  }
  return std::unique_ptr<SkinPicture>(new SkinPicture(stream, bitmap));
}

SkinPicture::SkinPicture(IStream* stream, GpBitmap* bitmap) : m_stream(stream), m_bitmap(bitmap) {
  UINT width = 0, height = 0;
  GdipGetImageWidth(m_bitmap, &width);
  GdipGetImageHeight(m_bitmap, &height);
  m_width = static_cast<int>(width);
  m_height = static_cast<int>(height);
}

SkinPicture::~SkinPicture() {
  GdipDisposeImage(m_bitmap);
  m_stream->Release();
}

uint32_t SkinPicture::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
  ARGB pixel = 0;
  GdipBitmapGetPixel(m_bitmap, x, y, &pixel);
  return pixel;
}

void SkinPicture::Draw(HDC dc, int x, int y) const {
  DrawArea(dc, x, y, 0, 0, m_width, m_height);
}

void SkinPicture::DrawFrame(HDC dc, ButtonFrame frame, int x, int y) const {
  const StripGeometry geometry = StripGeometry::Of(m_width, m_height);
  DrawArea(dc, x, y, static_cast<int>(frame) * geometry.frameWidth, 0, geometry.frameWidth,
           geometry.height);
}

void SkinPicture::DrawArea(HDC dc, int x, int y, int sourceX, int sourceY, int width,
                           int height) const {
  // Only the part inside the picture: GDI+ would smear its edge pixels over the rest.
  if (sourceX < 0) {
    x -= sourceX;
    width += sourceX;
    sourceX = 0;
  }
  if (sourceY < 0) {
    y -= sourceY;
    height += sourceY;
    sourceY = 0;
  }
  width = std::min(width, m_width - sourceX);
  height = std::min(height, m_height - sourceY);
  if (width <= 0 || height <= 0) return;
  Graphics graphics(dc);
  if (!graphics.get()) return;
  // Pixel for pixel: no smoothing, and no bleeding in from the strip's next frame.
  GdipSetInterpolationMode(graphics.get(), InterpolationModeNearestNeighbor);
  GdipSetPixelOffsetMode(graphics.get(), PixelOffsetModeHalf);
  GdipDrawImageRectRectI(graphics.get(), m_bitmap, x, y, width, height, sourceX, sourceY, width,
                         height, UnitPixel, nullptr, nullptr, nullptr);
}

HBITMAP SkinPicture::CreateBitmap(uint32_t background) const {
  HBITMAP bitmap = nullptr;
  GdipCreateHBITMAPFromBitmap(m_bitmap, &bitmap, 0xFF000000 | background);
  return bitmap;
}

HICON SkinPicture::CreateIcon(int size) const {
  GpBitmap* square = nullptr;
  if (GdipCreateBitmapFromScan0(size, size, 0, PixelFormat32bppARGB, nullptr, &square) != Ok) {
    return nullptr;
  }
  {
    Graphics graphics(square);
    if (graphics.get()) {
      GdipSetInterpolationMode(graphics.get(), InterpolationModeHighQualityBicubic);
      GdipDrawImageRectI(graphics.get(), m_bitmap, 0, 0, size, size);
    }
  }
  HICON icon = nullptr;
  GdipCreateHICONFromBitmap(square, &icon);
  GdipDisposeImage(square);
  return icon;
}

HICON LoadSkinIcon(int id, int size) {
  if (::FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_GROUP_ICON)) {
    const auto icon =
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                        IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (icon) return icon;
  }
  const std::unique_ptr<SkinPicture> picture = SkinPicture::Load(id);
  return picture ? picture->CreateIcon(size) : nullptr;
}

}  // namespace zeva::win32
