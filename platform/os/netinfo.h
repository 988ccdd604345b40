// This machine's name and the addresses of names.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace os {

// The host name of this machine, "" when it cannot be read.
std::string HostName();
// The first IPv4 address of name in dotted form; false (and a resolver
// error text) when the name does not resolve.
bool ResolveHost(const std::string& name, std::string& address, std::string& error);

// One address of a network interface.
struct NetInterface {
    std::string Name;
    bool Up = false; // up and running
    bool Loopback = false;
    std::string Address; // IPv4 or IPv6 text, "" for a link without one
};

// The addresses of this machine's interfaces; under a hook, the hook's list.
std::vector<NetInterface> NetworkInterfaces();
// Tests replace the list; an empty hook restores the system's.
void SetNetworkInterfacesHook(std::function<std::vector<NetInterface>()> hook);

// True when an interface other than loopback is up with an address that
// reaches beyond its own link (link-local addresses do not count).
bool HasNetworkConnection();

} // namespace os
