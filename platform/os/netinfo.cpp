#include "platform/os/netinfo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <climits>

namespace os {

std::string HostName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

bool ResolveHost(const std::string& name, std::string& address, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    int r = getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (r != 0 || !res) {
        error = gai_strerror(r);
        return false;
    }
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, buf, sizeof buf);
    freeaddrinfo(res);
    address = buf;
    return true;
}

} // namespace os
