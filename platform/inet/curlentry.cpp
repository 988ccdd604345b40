#include "platform/inet/curlentry.h"

#include <dlfcn.h>

#include <mutex>

namespace inet::curlentry {

namespace {

template <class F> bool Resolve(void* lib, const char* name, F& entry) {
    entry = reinterpret_cast<F>(dlsym(lib, name));
    return entry != nullptr;
}

} // namespace

const Entries* Load(std::string* why) {
    static Entries entries{};
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
        Entries e{};
        const bool all = Resolve(lib, "curl_global_init", e.global_init) &&
                         Resolve(lib, "curl_easy_init", e.easy_init) &&
                         Resolve(lib, "curl_easy_setopt", e.easy_setopt) &&
                         Resolve(lib, "curl_easy_cleanup", e.easy_cleanup) &&
                         Resolve(lib, "curl_easy_strerror", e.easy_strerror) &&
                         Resolve(lib, "curl_multi_init", e.multi_init) &&
                         Resolve(lib, "curl_multi_add_handle", e.multi_add_handle) &&
                         Resolve(lib, "curl_multi_remove_handle", e.multi_remove_handle) &&
                         Resolve(lib, "curl_multi_perform", e.multi_perform) &&
                         Resolve(lib, "curl_multi_poll", e.multi_poll) &&
                         Resolve(lib, "curl_multi_info_read", e.multi_info_read) &&
                         Resolve(lib, "curl_multi_cleanup", e.multi_cleanup) &&
                         Resolve(lib, "curl_multi_strerror", e.multi_strerror) &&
                         Resolve(lib, "curl_slist_append", e.slist_append) &&
                         Resolve(lib, "curl_slist_free_all", e.slist_free_all);
        if (!all) {
            failure = "The network library lacks an entry point the program needs";
            return; // the library stays loaded: unloading it gains nothing
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
