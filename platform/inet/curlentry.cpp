#include "platform/inet/curlentry.h"

#include <dlfcn.h>

#include <mutex>

namespace inet::curlentry {

const Entries* Load(std::string* why) {
    static Entries entries;
    static const Entries* loaded = nullptr;
    static std::string failure;
    static std::once_flag once;
    std::call_once(once, [] {
        // The soname the program was built against.
        void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            const char* e = dlerror();
            failure =
                std::string("The network library cannot be loaded: ") + (e ? e : "libcurl.so.4");
            return;
        }
        Entries e;
        bool all = true;
#define LANTROVE_CURL_RESOLVE(name)                                                                \
    e.name = reinterpret_cast<decltype(e.name)>(dlsym(lib, "curl_" #name));                        \
    all = all && e.name;
        LANTROVE_CURL_ENTRIES(LANTROVE_CURL_RESOLVE)
#undef LANTROVE_CURL_RESOLVE
        // A library that falls short stays loaded: unloading it gains nothing.
        if (!all) {
            failure = "The network library lacks an entry point the program needs";
            return;
        }
        if (e.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            failure = "The network library could not start";
            return;
        }
        entries = e;
        loaded = &entries;
    });
    if (!loaded && why) *why = failure;
    return loaded;
}

} // namespace inet::curlentry
