// The reference the desktop benchmark measures the program against: a bare
// toolkit window of the main window's size, with a web view (no GPU
// compositing) showing the program's welcome page, or with nothing in it
// ("--rest": a toolkit program at rest).
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    bool rest = argc > 1 && std::strcmp(argv[1], "--rest") == 0;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Bare window");
    gtk_window_set_default_size(GTK_WINDOW(window), 980, 840);
    gtk_window_move(GTK_WINDOW(window), 100, 80);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    if (!rest) {
        WebKitSettings* settings = webkit_settings_new();
        webkit_settings_set_hardware_acceleration_policy(settings,
                                                         WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
        GtkWidget* view = webkit_web_view_new_with_settings(settings);
        g_object_unref(settings);
        gtk_container_add(GTK_CONTAINER(window), view);
        std::string page = std::string("file://") + (argc > 1 ? argv[1] : "/dev/null");
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), page.c_str());
    }
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
