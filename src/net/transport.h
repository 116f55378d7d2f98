// SPDX-License-Identifier: GPL-3.0-or-later
// The connection between the two machines, on ENet over UDP: the host
// listens for one guest, the guest connects to HOST[:PORT]. Channel 0 is
// reliable (hello, refusal, checks, leave), channel 1 unreliable (inputs).
// Owns the ENet host and the one peer. IPv4 only (ENet 1.3).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/rollback.h"

struct _ENetHost;
struct _ENetPeer;

struct net_transport {
    _ENetHost* host = nullptr;
    _ENetPeer* peer = nullptr;
    bool hosting = false;
    bool connected = false;
};

enum class net_event_kind { connected, received, disconnected };

struct net_event {
    net_event_kind kind;
    std::vector<uint8_t> bytes;
};

// "HOST", "HOST:PORT" (PORT 1..65535, NET_DEFAULT_PORT when left out). False
// with the reason for anything else.
bool parse_net_address(const std::string& text, std::string& host, int& port, std::string& error);

// Listens on `port` of every interface (or of `bind_host`, e.g. 127.0.0.1)
// for one guest. False with one line naming the cause.
bool net_transport_host(net_transport& t, int port, std::string& error,
                        const std::string& bind_host = "");
// Starts connecting to HOST[:PORT]; `connected` comes from net_transport_poll.
bool net_transport_join(net_transport& t, const std::string& address, std::string& error);
// Services the connection for at most `timeout_ms` (0: only what has
// arrived), appending what happened. A packet larger than any message is
// dropped unread.
void net_transport_poll(net_transport& t, std::vector<net_event>& events, int timeout_ms);
void net_transport_send(net_transport& t, const net_outgoing& message);
// The local UDP port (the one the system chose for port 0).
int net_transport_port(const net_transport& t);
// Round-trip time to the peer, in milliseconds, as ENet measures it.
int net_transport_rtt(const net_transport& t);
// Sends what is queued, says goodbye and frees everything.
void net_transport_close(net_transport& t);
