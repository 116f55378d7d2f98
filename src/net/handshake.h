// SPDX-License-Identifier: GPL-3.0-or-later
// The start of an online race, before the rollback session: the host sends
// its hello with the race, the guest checks it (versions, determinism check,
// its own copy of the track) and answers with its hello or a refusal, and
// the host checks the guest's hello in turn. Both end with one line when the
// race cannot start. No sockets: messages in and out as bytes.
#pragma once

#include <string>
#include <vector>

#include "net/messages.h"
#include "net/rollback.h"

// A connection that has not finished the handshake this long after it
// connected is let go: a stranger cannot hold a host, a guest is told.
constexpr long long NET_HANDSHAKE_MS = 5000;
// A guest gives up reaching a host after this long: ENet has sent its
// connect request four times by then (after 0, 0.5, 1.5 and 3.5 s).
constexpr long long NET_CONNECT_MS = 4000;

enum class net_handshake_state { waiting, ready, refused };

struct net_handshake {
    bool hosting = false;
    net_hello mine;
    net_hello theirs;      // the race comes from the host's
    net_handshake_state state = net_handshake_state::waiting;
    std::string line;      // why it was refused, for the player
    bool bad_message = false;   // refused over a message no honest machine sends
    std::vector<net_outgoing> outbox;
    // The guest's SHA-256 of its track of that name, "" when it has none.
    // The name is a checked catalogue name (no path).
    std::string (*track_sha256)(const std::string& name) = nullptr;
};

// The host passes its hello with the race; it is sent once connected.
void net_handshake_start(net_handshake& h, bool hosting, const net_hello& mine,
                         std::string (*track_sha256)(const std::string& name));
// The transport connected: the host sends its hello.
void net_handshake_connected(net_handshake& h);
void net_handshake_receive(net_handshake& h, const uint8_t* data, size_t size);
// The host goes on waiting for another guest after one that did not race.
void net_handshake_reopen(net_handshake& h);
// The race both machines set up: the host's.
const replay& net_handshake_race(const net_handshake& h);
