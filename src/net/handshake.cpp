// SPDX-License-Identifier: GPL-3.0-or-later
// The handshake: refusals go both ways, so each side gets the same line.
#include "net/handshake.h"

static void refuse(net_handshake& h, net_refusal why, bool tell) {
    if (tell) h.outbox.push_back({encode_refuse(why), true});
    h.state = net_handshake_state::refused;
    h.line = refusal_line(why, net_handshake_race(h).track_name);
}

void net_handshake_start(net_handshake& h, bool hosting, const net_hello& mine,
                         std::string (*track_sha256)(const std::string& name)) {
    h = net_handshake();
    h.hosting = hosting;
    h.mine = mine;
    h.mine.has_race = hosting;
    h.mine.race = race_header(mine.race);
    h.track_sha256 = track_sha256;
}

void net_handshake_connected(net_handshake& h) {
    if (h.hosting && h.state == net_handshake_state::waiting)
        h.outbox.push_back({encode_hello(h.mine), true});
}

void net_handshake_receive(net_handshake& h, const uint8_t* data, size_t size) {
    if (h.state != net_handshake_state::waiting) return;
    net_message m;
    std::string why;
    if (!read_message(data, size, m, why)) {
        h.state = net_handshake_state::refused;
        h.bad_message = true;
        h.line = "The other machine sent a bad message: " + why;
        return;
    }
    // The guest's race starts with its hello, so its first inputs may
    // overtake that hello on their own channel: they come again.
    if (m.kind == NET_INPUTS) return;
    if (m.kind == NET_REFUSE) {
        h.state = net_handshake_state::refused;
        h.line = refusal_line(m.refusal, net_handshake_race(h).track_name);
        return;
    }
    // Another protocol's hello says no more than its version.
    if (m.kind == NET_HELLO && m.hello.protocol != h.mine.protocol)
        return refuse(h, NET_REFUSE_PROTOCOL, true);
    if (m.kind != NET_HELLO || m.hello.has_race == h.hosting) {
        h.state = net_handshake_state::refused;
        h.bad_message = true;
        h.line = "The other machine sent a bad message: no hello of the other side";
        return;
    }
    h.theirs = m.hello;
    if (int why_not = hello_refusal(h.mine, h.theirs)) return refuse(h, (net_refusal)why_not, true);
    if (!h.hosting) {
        const std::string sha = h.track_sha256 ? h.track_sha256(h.theirs.race.track_name) : "";
        if (int why_not = track_refusal(h.theirs.race, sha)) return refuse(h, (net_refusal)why_not, true);
        h.outbox.push_back({encode_hello(h.mine), true});
    }
    h.state = net_handshake_state::ready;
}

void net_handshake_reopen(net_handshake& h) {
    h.state = net_handshake_state::waiting;
    h.line.clear();
    h.bad_message = false;
    h.outbox.clear();
    h.theirs = net_hello();
}

const replay& net_handshake_race(const net_handshake& h) {
    return h.hosting ? h.mine.race : h.theirs.race;
}
