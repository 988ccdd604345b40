# Third-party libraries, all from Debian packages (see scripts/install.sh).
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)

pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGO REQUIRED IMPORTED_TARGET pangocairo pangoft2 fontconfig)
pkg_check_modules(GTK REQUIRED IMPORTED_TARGET gtk+-3.0)
# The tray host asks the X server whether a tray manager runs.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
# The hint window reads the pointer's picture through the fixes extension.
pkg_check_modules(XFIXES REQUIRED IMPORTED_TARGET xfixes)
pkg_check_modules(WEBKIT REQUIRED IMPORTED_TARGET webkit2gtk-4.1)
# The engine's package asks every program to export all its symbols (for
# modules that look up handlers by name); nothing looks up ours, and the
# table would only take memory and start-up time.
get_target_property(webkit_link_options PkgConfig::WEBKIT INTERFACE_LINK_OPTIONS)
if(webkit_link_options)
  list(REMOVE_ITEM webkit_link_options "-Wl,--export-dynamic")
  set_target_properties(PkgConfig::WEBKIT PROPERTIES INTERFACE_LINK_OPTIONS "${webkit_link_options}")
endif()
# The media libraries are bound at run time; only their headers are used here.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
                  libavcodec libavformat libavutil libavfilter libswscale libswresample)
add_library(ffmpeg_headers INTERFACE)
target_include_directories(ffmpeg_headers INTERFACE ${FFMPEG_INCLUDE_DIRS})

# Local HTTP servers of the tests, the benchmarks and the stand-in site.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

if(LANTROVE_TESTS)
  find_package(GTest REQUIRED)
endif()
if(LANTROVE_BENCH)
  find_package(benchmark REQUIRED)
endif()
