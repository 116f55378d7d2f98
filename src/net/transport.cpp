// SPDX-License-Identifier: GPL-3.0-or-later
// ENet does the reliability, ordering, fragmenting and round-trip timing;
// this file only opens, pumps and closes it.
#include "net/transport.h"

#include <enet/enet.h>

#include <cstdlib>

#include "core/files.h"
#include "replay/replay.h"

enum { CHANNEL_RELIABLE = 0, CHANNEL_INPUTS = 1, CHANNELS = 2 };
// ENet gives a connection up when its reliable messages go unanswered this
// long: soon while connecting and in the handshake, and in a race only long
// after the race's own silence rule would have ended it, so that a lossy
// link never ends a race that still hears from the opponent.
constexpr enet_uint32 TIMEOUT_HANDSHAKE_MS = 5000;
constexpr enet_uint32 TIMEOUT_RACE_MS = 60000;

static bool start_enet(std::string& error) {
    static int started = 0;   // 1 done, -1 failed
    if (started == 0) {
        started = enet_initialize() == 0 ? 1 : -1;
        if (started == 1) std::atexit(enet_deinitialize);
    }
    if (started < 0) error = "the network library could not start";
    return started > 0;
}

// A peer may send no more than the largest message, and keep no more than
// a few of them waiting in fragments.
static void bound_host(ENetHost* host) {
    host->maximumPacketSize = NET_MAX_HELLO_BYTES + 64;
    host->maximumWaitingData = 4 * (NET_MAX_HELLO_BYTES + 64);
}

// ":PORT" after the host, or nothing.
static bool parse_port(const std::string& text, size_t at, int& port, std::string& error) {
    port = NET_DEFAULT_PORT;
    if (at >= text.size()) return true;
    long long v;
    if (text[at] != ':' || at + 1 >= text.size() || text[at + 1] == '+' || text[at + 1] == '-' ||
        !parse_integer(text.substr(at + 1), 1, 65535, v)) {
        error = "'" + printable(text) + "': the port must be a number from 1 to 65535";
        return false;
    }
    port = (int)v;
    return true;
}

// "[ADDRESS]", "[ADDRESS]:PORT" or a bare address with two colons or more.
static bool parse_ipv6(const std::string& text, std::string& error) {
    const bool bracket = text[0] == '[';
    const size_t close = bracket ? text.find(']') : text.size();
    if (close == std::string::npos) {
        error = "'" + printable(text) + "': an IPv6 address in brackets needs its closing ']'";
        return false;
    }
    const std::string address = text.substr(bracket ? 1 : 0, close - (bracket ? 1 : 0));
    const std::string bare = address.substr(0, address.find('%'));   // less a zone, as in fe80::1%eth0
    if (bare.find(':') == std::string::npos || bare.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
        error = "'" + printable(text) + "' is no IPv6 address";
        return false;
    }
    int port;
    if (bracket && !parse_port(text, close + 1, port, error)) return false;
    error = "'" + printable(text) + "': IPv6 cannot be used: the network library (ENet 1.3) speaks IPv4 only; "
            "give an IPv4 address or a name";
    return false;
}

bool parse_net_address(const std::string& text, std::string& host, int& port, std::string& error) {
    const size_t colon = text.find(':');
    if (!text.empty() && (text[0] == '[' || (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos)))
        return parse_ipv6(text, error);
    host = text.substr(0, colon);
    if (host.empty() || host.size() > 253) {
        error = "'" + printable(text) + "' names no host (HOST or HOST:PORT)";
        return false;
    }
    for (char c : host)
        if (c <= ' ' || c > '~') {
            error = "'" + printable(text) + "' is no host name";
            return false;
        }
    return parse_port(text, colon == std::string::npos ? text.size() : colon, port, error);
}

bool net_transport_host(net_transport& t, int port, std::string& error, const std::string& bind_host) {
    t = net_transport();
    if (!start_enet(error)) return false;
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = (enet_uint16)port;
    if (!bind_host.empty() && enet_address_set_host_ip(&address, bind_host.c_str()) != 0) {
        error = "'" + printable(bind_host) + "' is no IPv4 address (the network library, ENet 1.3, speaks IPv4 only)";
        return false;
    }
    t.host = enet_host_create(&address, NET_HOST_CONNECTIONS, CHANNELS, 0, 0);
    if (!t.host) {
        error = "cannot listen on UDP port " + std::to_string(port) + " (is it in use?)";
        return false;
    }
    bound_host(t.host);
    t.hosting = true;
    return true;
}

bool net_transport_join(net_transport& t, const std::string& text, std::string& error) {
    t = net_transport();
    std::string name;
    int port;
    if (!parse_net_address(text, name, port, error) || !start_enet(error)) return false;
    ENetAddress address;
    if (enet_address_set_host(&address, name.c_str()) != 0) {
        error = "cannot find the host '" + printable(name) + "'";
        return false;
    }
    address.port = (enet_uint16)port;
    t.host = enet_host_create(nullptr, 1, CHANNELS, 0, 0);
    if (!t.host) {
        error = "cannot open a UDP socket";
        return false;
    }
    bound_host(t.host);
    t.peer = enet_host_connect(t.host, &address, CHANNELS, NET_PROTOCOL_VERSION);
    if (!t.peer) {
        error = "cannot start connecting to " + printable(text);
        enet_host_destroy(t.host);
        t.host = nullptr;
        return false;
    }
    enet_peer_timeout(t.peer, 0, TIMEOUT_HANDSHAKE_MS, TIMEOUT_HANDSHAKE_MS);
    return true;
}

// Every connection but the opponent's is still in the handshake (ENet
// resets a freed one to its own long time-outs).
static void short_timeouts(net_transport& t) {
    if (!t.hosting) return;
    for (size_t i = 0; i < t.host->peerCount; i++)
        if (&t.host->peers[i] != t.peer)
            enet_peer_timeout(&t.host->peers[i], 0, TIMEOUT_HANDSHAKE_MS, TIMEOUT_HANDSHAKE_MS);
}

void net_transport_poll(net_transport& t, std::vector<net_event>& events, int timeout_ms) {
    if (!t.host) return;
    short_timeouts(t);
    ENetEvent ev;
    int wait = timeout_ms;
    while (enet_host_service(t.host, &ev, (enet_uint32)wait) > 0) {
        wait = 0;
        const int from = (int)(ev.peer - t.host->peers);
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (ev.peer == t.peer) t.connected = true;
            events.push_back({net_event_kind::connected, {}, from});
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (ev.packet->dataLength <= NET_MAX_HELLO_BYTES + 64)
                events.push_back({net_event_kind::received,
                                  std::vector<uint8_t>(ev.packet->data, ev.packet->data + ev.packet->dataLength),
                                  from});
            enet_packet_destroy(ev.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (ev.peer == t.peer) {
                t.peer = nullptr;
                t.connected = false;
            }
            events.push_back({net_event_kind::disconnected, {}, from});
            break;
        default:
            break;
        }
    }
}

static ENetPeer* connection(const net_transport& t, int from) {
    if (!t.host || from < 0 || (size_t)from >= t.host->peerCount) return nullptr;
    ENetPeer* p = &t.host->peers[from];
    return p->state == ENET_PEER_STATE_CONNECTED ? p : nullptr;
}

static void send_on(ENetHost* host, ENetPeer* peer, const net_outgoing& message) {
    ENetPacket* packet = enet_packet_create(message.bytes.data(), message.bytes.size(),
                                            message.reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return;
    if (enet_peer_send(peer, message.reliable ? CHANNEL_RELIABLE : CHANNEL_INPUTS, packet) != 0)
        enet_packet_destroy(packet);
    enet_host_flush(host);
}

void net_transport_send(net_transport& t, const net_outgoing& message) {
    if (t.peer && t.connected) send_on(t.host, t.peer, message);
}

void net_transport_send_to(net_transport& t, int from, const net_outgoing& message) {
    if (ENetPeer* p = connection(t, from)) send_on(t.host, p, message);
}

void net_transport_choose(net_transport& t, int from) {
    ENetPeer* p = connection(t, from);
    if (!p) return;
    t.peer = p;
    t.connected = true;
    enet_peer_timeout(p, 0, TIMEOUT_RACE_MS, TIMEOUT_RACE_MS);
}

void net_transport_drop(const net_transport& t, int from, bool gently) {
    ENetPeer* p = connection(t, from);
    if (!p || p == t.peer) return;
    if (gently) {
        enet_peer_disconnect_later(p, 0);
    } else {
        enet_peer_disconnect_now(p, 0);
    }
}

int net_transport_queued(const net_transport& t, int from) {
    ENetPeer* p = connection(t, from);
    if (!p) return 0;
    return (int)(enet_list_size(&p->outgoingCommands) + enet_list_size(&p->sentReliableCommands));
}

int net_transport_port(const net_transport& t) { return t.host ? (int)t.host->address.port : 0; }

int net_transport_rtt(const net_transport& t) { return t.peer ? (int)t.peer->roundTripTime : 0; }

// Connections still saying goodbye.
static bool closing(const std::vector<ENetPeer*>& told) {
    for (const ENetPeer* p : told)
        if (p->state != ENET_PEER_STATE_DISCONNECTED && p->state != ENET_PEER_STATE_ZOMBIE) return true;
    return false;
}

void net_transport_close(net_transport& t) {
    if (!t.host) return;
    // Every connection (the opponent, a host's spectators) gets what was
    // sent to it, then the goodbye.
    std::vector<ENetPeer*> told;
    for (size_t i = 0; i < t.host->peerCount; i++)
        if (t.host->peers[i].state == ENET_PEER_STATE_CONNECTED) {
            enet_peer_disconnect_later(&t.host->peers[i], 0);
            told.push_back(&t.host->peers[i]);
        }
    // A short while for the last reliable messages and the goodbyes.
    ENetEvent ev;
    for (int i = 0; i < 30 && closing(told); i++)
        if (enet_host_service(t.host, &ev, 10) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    enet_host_destroy(t.host);
    t = net_transport();
}
