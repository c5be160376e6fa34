#pragma once

#include <string>

// This computer's IPv4 address as dotted-decimal text, as the machine should
// use it to reach the panel. Loopback addresses are skipped (Debian resolves
// the host's own name to 127.0.1.1, which the machine could never reach): the
// first other address the resolver lists for the host name, else the first
// other address of an interface that is up, else the empty text.
std::string localNetworkAddress();
