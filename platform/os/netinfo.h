// This machine's name and the addresses of names.
#pragma once

#include <string>

namespace os {

// The host name of this machine, "" when it cannot be read.
std::string HostName();
// The first IPv4 address of name in dotted form; false (and a resolver
// error text) when the name does not resolve.
bool ResolveHost(const std::string& name, std::string& address, std::string& error);

} // namespace os
