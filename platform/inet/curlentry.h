// The transfer library's entry points, loaded the first time the program
// talks to the network: the library and the dozen libraries it needs stay
// out of a program that has not, which starts sooner and takes less memory.
#pragma once

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <string>

namespace inet::curlentry {

struct Entries {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_multi_strerror) multi_strerror;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
};

// The entry points, the library loaded and initialised once; null when it
// cannot be loaded, with the reason in *why.
const Entries* Load(std::string* why);

} // namespace inet::curlentry
