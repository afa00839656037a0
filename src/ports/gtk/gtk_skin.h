// The skin's drawing in the GTK port: pictures decoded from the embedded PNG resources and
// painted with cairo, image buttons one frame of their strip at a time.
#pragma once

#include <gtk/gtk.h>

#include "ui/png_button.h"

namespace zeva::gtk {

// Decodes a picture of the skin; null when it is missing or broken. The caller owns it.
GdkPixbuf* LoadPngResource(int id);

// Paints `picture` unscaled at the widget's origin (nothing for null).
void PaintPicture(cairo_t* cr, GdkPixbuf* picture);

// Paints the frame of `strip` that `state` names, unscaled; transparent pixels show what
// lies below.
void PaintButtonFrame(cairo_t* cr, GdkPixbuf* strip, const PngButton& state);

}  // namespace zeva::gtk
