// The transfer library's entry points, loaded the first time the program
// talks to the network: the library and the dozen libraries it needs stay
// out of a program that has not, which starts sooner and takes less memory.
#pragma once

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <string>

namespace inet::curlentry {

// Every entry point the program calls, by its name without "curl_".
#define LANTROVE_CURL_ENTRIES(X)                                                                   \
    X(global_init)                                                                                 \
    X(easy_init)                                                                                   \
    X(easy_setopt)                                                                                 \
    X(easy_cleanup)                                                                                \
    X(easy_strerror)                                                                               \
    X(multi_init)                                                                                  \
    X(multi_add_handle)                                                                            \
    X(multi_remove_handle)                                                                         \
    X(multi_perform)                                                                               \
    X(multi_poll)                                                                                  \
    X(multi_info_read)                                                                             \
    X(multi_cleanup)                                                                               \
    X(multi_strerror)                                                                              \
    X(slist_append)                                                                                \
    X(slist_free_all)

struct Entries {
#define LANTROVE_CURL_FIELD(name) decltype(&::curl_##name) name = nullptr;
    LANTROVE_CURL_ENTRIES(LANTROVE_CURL_FIELD)
#undef LANTROVE_CURL_FIELD
};

// The entry points, the library loaded and initialised once; null when it
// cannot be loaded, with the reason in *why.
const Entries* Load(std::string* why);

} // namespace inet::curlentry
