// SPDX-License-Identifier: GPL-3.0-or-later
// The web build's transport: no UDP there, so no ENet; hosting and joining
// refuse with one line.
#include "net/transport.h"

static const char* const NO_NETWORK = "online races are not in the web build";

bool parse_net_address(const std::string&, std::string&, int&, std::string& error) {
    error = NO_NETWORK;
    return false;
}
bool net_transport_host(net_transport&, int, std::string& error, const std::string&) {
    error = NO_NETWORK;
    return false;
}
bool net_transport_join(net_transport&, const std::string&, std::string& error) {
    error = NO_NETWORK;
    return false;
}
void net_transport_poll(net_transport&, std::vector<net_event>&, int) {}
void net_transport_send(net_transport&, const net_outgoing&) {}
void net_transport_send_to(net_transport&, int, const net_outgoing&) {}
void net_transport_choose(net_transport&, int) {}
void net_transport_drop(const net_transport&, int, bool) {}
int net_transport_queued(const net_transport&, int) { return 0; }
int net_transport_port(const net_transport&) { return 0; }
int net_transport_rtt(const net_transport&) { return 0; }
void net_transport_close(net_transport&) {}
