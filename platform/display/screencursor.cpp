// Reads the pointer's picture from the X server (the fixes extension), the
// one the desktop's cursor theme gives whatever window is under it.
#include "platform/display/screencursor.h"

#include "platform/display/headless.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/extensions/Xfixes.h>
#include <gdk/gdkx.h>
#endif

#include <mutex>
#include <string>

namespace display {

#ifdef GDK_WINDOWING_X11
namespace {

// A connection of its own: the toolkit's connection does not answer the
// cursor request. Opened on first use, for the display the toolkit shows on.
Display* CursorConnection(const char* name) {
    static std::mutex lock;
    static std::string opened;
    static Display* connection = nullptr;
    std::lock_guard<std::mutex> g(lock);
    if (connection && opened == name) return connection;
    if (connection) XCloseDisplay(connection);
    connection = XOpenDisplay(name);
    opened = connection ? name : "";
    return connection;
}

} // namespace
#endif

bool ScreenCursorPicture(CursorPicture& Picture) {
#ifdef GDK_WINDOWING_X11
    if (CurrentHeadless()) return false; // its pointer has no picture
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = CursorConnection(gdk_display_get_name(display));
    int event = 0, error = 0;
    if (!x || !XFixesQueryExtension(x, &event, &error)) return false;
    XFixesCursorImage* image = XFixesGetCursorImage(x);
    if (!image) return false;
    Picture.width = image->width;
    Picture.height = image->height;
    Picture.hotX = image->xhot;
    Picture.hotY = image->yhot;
    Picture.argb.assign(size_t(image->width) * image->height, 0);
    for (size_t i = 0; i < Picture.argb.size(); ++i)
        Picture.argb[i] = uint32_t(image->pixels[i]);
    XFree(image);
    return Picture.width > 0 && Picture.height > 0;
#else
    (void)Picture;
    return false;
#endif
}

} // namespace display
