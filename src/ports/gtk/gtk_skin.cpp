#include "ports/gtk/gtk_skin.h"

#include "res/png_resources.h"

namespace zeva::gtk {

GdkPixbuf* LoadPngResource(int id) {
  const std::span<const unsigned char> png = res::FindPngResource(id);
  if (png.empty()) return nullptr;
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  if (!loader) return nullptr;
  GdkPixbuf* pixbuf = nullptr;
  if (gdk_pixbuf_loader_write(loader, png.data(), png.size(), nullptr) &&
      gdk_pixbuf_loader_close(loader, nullptr)) {
    pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf) g_object_ref(pixbuf);
  } else {
    gdk_pixbuf_loader_close(loader, nullptr);
  }
  g_object_unref(loader);
  return pixbuf;
}

void PaintPicture(cairo_t* cr, GdkPixbuf* picture) {
  if (!picture) return;
  gdk_cairo_set_source_pixbuf(cr, picture, 0, 0);
  cairo_paint(cr);
}

void PaintButtonFrame(cairo_t* cr, GdkPixbuf* strip, const PngButton& state) {
  if (!strip) return;
  const StripGeometry geometry =
      StripGeometry::Of(gdk_pixbuf_get_width(strip), gdk_pixbuf_get_height(strip));
  const int frame = static_cast<int>(state.Frame());
  cairo_rectangle(cr, 0, 0, geometry.frameWidth, geometry.height);
  cairo_clip(cr);
  gdk_cairo_set_source_pixbuf(cr, strip, -frame * geometry.frameWidth, 0);
  cairo_paint(cr);
}

}  // namespace zeva::gtk
