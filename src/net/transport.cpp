// SPDX-License-Identifier: GPL-3.0-or-later
// ENet does the reliability, ordering, fragmenting and round-trip timing;
// this file only opens, pumps and closes it.
#include "net/transport.h"

#include <enet/enet.h>

#include <cstdlib>

#include "core/files.h"
#include "replay/replay.h"

enum { CHANNEL_RELIABLE = 0, CHANNEL_INPUTS = 1, CHANNELS = 2 };

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

bool parse_net_address(const std::string& text, std::string& host, int& port, std::string& error) {
    const size_t colon = text.find(':');
    if (!text.empty() && (text[0] == '[' || (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos))) {
        error = "'" + printable(text) + "': IPv6 addresses are not supported; give an IPv4 address or a name";
        return false;
    }
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
    port = NET_DEFAULT_PORT;
    if (colon != std::string::npos) {
        long long v;
        if (!parse_integer(text.substr(colon + 1), 1, 65535, v) || text[colon + 1] == '+' ||
            text[colon + 1] == '-') {
            error = "'" + printable(text) + "': the port must be a number from 1 to 65535";
            return false;
        }
        port = (int)v;
    }
    return true;
}

bool net_transport_host(net_transport& t, int port, std::string& error, const std::string& bind_host) {
    t = net_transport();
    if (!start_enet(error)) return false;
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = (enet_uint16)port;
    if (!bind_host.empty() && enet_address_set_host_ip(&address, bind_host.c_str()) != 0) {
        error = "'" + printable(bind_host) + "' is no IPv4 address";
        return false;
    }
    t.host = enet_host_create(&address, 1, CHANNELS, 0, 0);
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
    return true;
}

void net_transport_poll(net_transport& t, std::vector<net_event>& events, int timeout_ms) {
    if (!t.host) return;
    ENetEvent ev;
    int wait = timeout_ms;
    while (enet_host_service(t.host, &ev, (enet_uint32)wait) > 0) {
        wait = 0;
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            t.peer = ev.peer;
            t.connected = true;
            // Our own silence rules end the race at 5 s; ENet gives up later.
            enet_peer_timeout(ev.peer, 0, 8000, 12000);
            events.push_back({net_event_kind::connected, {}});
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (ev.packet->dataLength <= NET_MAX_HELLO_BYTES + 64)
                events.push_back({net_event_kind::received,
                                  std::vector<uint8_t>(ev.packet->data, ev.packet->data + ev.packet->dataLength)});
            enet_packet_destroy(ev.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (ev.peer == t.peer) {
                t.peer = nullptr;
                t.connected = false;
                events.push_back({net_event_kind::disconnected, {}});
            }
            break;
        default:
            break;
        }
    }
}

void net_transport_send(net_transport& t, const net_outgoing& message) {
    if (!t.peer || !t.connected) return;
    ENetPacket* packet = enet_packet_create(message.bytes.data(), message.bytes.size(),
                                            message.reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return;
    if (enet_peer_send(t.peer, message.reliable ? CHANNEL_RELIABLE : CHANNEL_INPUTS, packet) != 0)
        enet_packet_destroy(packet);
    enet_host_flush(t.host);
}

int net_transport_port(const net_transport& t) { return t.host ? (int)t.host->address.port : 0; }

int net_transport_rtt(const net_transport& t) { return t.peer ? (int)t.peer->roundTripTime : 0; }

void net_transport_close(net_transport& t) {
    if (!t.host) return;
    if (t.peer && t.connected) {
        enet_peer_disconnect_later(t.peer, 0);
        // A short while for the last reliable messages and the goodbye.
        ENetEvent ev;
        for (int i = 0; i < 30 && t.peer; i++) {
            if (enet_host_service(t.host, &ev, 10) > 0) {
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
                if (ev.type == ENET_EVENT_TYPE_DISCONNECT) t.peer = nullptr;
            }
        }
    }
    if (t.peer) enet_peer_reset(t.peer);
    enet_host_destroy(t.host);
    t = net_transport();
}
