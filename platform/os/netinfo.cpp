#include "platform/os/netinfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <mutex>

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

namespace {
std::mutex g_interfacesLock;
std::function<std::vector<NetInterface>()> g_interfacesHook;
} // namespace

std::vector<NetInterface> NetworkInterfaces() {
    {
        std::lock_guard<std::mutex> g(g_interfacesLock);
        if (g_interfacesHook) return g_interfacesHook();
    }
    std::vector<NetInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        NetInterface n;
        n.Name = a->ifa_name ? a->ifa_name : "";
        n.Up = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
        n.Loopback = a->ifa_flags & IFF_LOOPBACK;
        char buf[INET6_ADDRSTRLEN] = {};
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr, buf,
                      sizeof buf);
        else if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(a->ifa_addr)->sin6_addr, buf,
                      sizeof buf);
        n.Address = buf;
        out.push_back(std::move(n));
    }
    freeifaddrs(list);
    return out;
}

void SetNetworkInterfacesHook(std::function<std::vector<NetInterface>()> hook) {
    std::lock_guard<std::mutex> g(g_interfacesLock);
    g_interfacesHook = std::move(hook);
}

bool HasNetworkConnection() {
    for (const NetInterface& n : NetworkInterfaces()) {
        if (!n.Up || n.Loopback || n.Address.empty()) continue;
        std::string a = n.Address;
        for (char& c : a)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        // Addresses a link gives itself reach only that link.
        if (a.rfind("169.254.", 0) == 0 || a.rfind("fe80:", 0) == 0) continue;
        return true;
    }
    return false;
}

} // namespace os
