// What the GTK backend reads from the real display: its bell and the pixels
// of the screen.
#include "platform/display/gtk.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>

#include "platform/gdi/objects.h"

namespace display {

void GtkBeep() {
    if (GdkDisplay* d = gdk_display_get_default()) gdk_display_beep(d);
}

HBITMAP GtkCaptureScreen(const RECT& area) {
    const int w = std::max(1, int(area.right - area.left));
    const int h = std::max(1, int(area.bottom - area.top));
    HBITMAP out = AllocBitmap(w, h, 32, true);
    if (!out) return nullptr;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(out->row(y));
        std::fill(row, row + w, 0xFF000000u);
    }
    GdkWindow* root = gdk_get_default_root_window();
    if (!root) return out;
    // Only the part on the screen can be read; the rest stays black.
    RECT screen{0, 0, gdk_window_get_width(root), gdk_window_get_height(root)};
    RECT part{};
    if (!IntersectRect(&part, &area, &screen)) return out;
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(root, part.left, part.top, part.right - part.left,
                                               part.bottom - part.top);
    if (!pb) return out;
    const int channels = gdk_pixbuf_get_n_channels(pb);
    const int stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* px = gdk_pixbuf_get_pixels(pb);
    const int pw = gdk_pixbuf_get_width(pb), ph = gdk_pixbuf_get_height(pb);
    for (int y = 0; y < ph; ++y) {
        auto* dst = reinterpret_cast<uint32_t*>(out->row(part.top - area.top + y)) +
                    (part.left - area.left);
        const guchar* src = px + size_t(y) * size_t(stride);
        for (int x = 0; x < pw; ++x, src += channels)
            dst[x] = 0xFF000000u | uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
    }
    g_object_unref(pb);
    return out;
}

} // namespace display
