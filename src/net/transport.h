// SPDX-License-Identifier: GPL-3.0-or-later
// The connection between the two machines, on ENet over UDP: the host
// listens for guests and races the one it chooses, the guest connects to
// HOST[:PORT]. Channel 0 is reliable (hello, refusal, checks, leave),
// channel 1 unreliable (inputs). Owns the ENet host and its connections.
// IPv4 only (ENet 1.3 has no IPv6).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/rollback.h"

struct _ENetHost;
struct _ENetPeer;

// Connections a host keeps at once: the guest it races and strangers still
// in the handshake or being told it is busy.
constexpr int NET_HOST_CONNECTIONS = 16;

struct net_transport {
    _ENetHost* host = nullptr;
    _ENetPeer* peer = nullptr;   // the opponent: the guest's host, the host's chosen guest
    bool hosting = false;
    bool connected = false;
};

enum class net_event_kind { connected, received, disconnected };

struct net_event {
    net_event_kind kind;
    std::vector<uint8_t> bytes;
    int from = -1;   // which connection: an index into the host's connections
};

// "HOST", "HOST:PORT" (PORT 1..65535, NET_DEFAULT_PORT when left out); an
// IPv6 address as "[ADDRESS]:PORT", "[ADDRESS]" or bare is read and refused
// (the network library speaks IPv4 only). False with the reason.
bool parse_net_address(const std::string& text, std::string& host, int& port, std::string& error);

// Listens on `port` of every interface (or of `bind_host`, e.g. 127.0.0.1)
// for guests. False with one line naming the cause.
bool net_transport_host(net_transport& t, int port, std::string& error,
                        const std::string& bind_host = "");
// Starts connecting to HOST[:PORT]; `connected` comes from net_transport_poll.
bool net_transport_join(net_transport& t, const std::string& address, std::string& error);
// Services the connections for at most `timeout_ms` (0: only what has
// arrived), appending what happened. A packet larger than any message is
// dropped unread.
void net_transport_poll(net_transport& t, std::vector<net_event>& events, int timeout_ms);
// To the opponent, and to connection `from` of a host.
void net_transport_send(net_transport& t, const net_outgoing& message);
void net_transport_send_to(net_transport& t, int from, const net_outgoing& message);
// The host races connection `from`: it becomes the opponent, and ENet no
// longer gives it up on its own (the race's silence rule does).
void net_transport_choose(net_transport& t, int from);
// Lets connection `from` go: after what was sent to it when `gently`, at once otherwise.
void net_transport_drop(const net_transport& t, int from, bool gently);
// Reliable messages to connection `from` not yet acknowledged (queued or in
// flight): how far behind a slow receiver is.
int net_transport_queued(const net_transport& t, int from);
// The local UDP port (the one the system chose for port 0).
int net_transport_port(const net_transport& t);
// Round-trip time to the peer, in milliseconds, as ENet measures it.
int net_transport_rtt(const net_transport& t);
// Sends what is queued, says goodbye and frees everything.
void net_transport_close(net_transport& t);
