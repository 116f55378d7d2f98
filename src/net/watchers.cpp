// SPDX-License-Identifier: GPL-3.0-or-later
// Spectators: the host's side (taking them, serving them, dropping them)
// and the spectator's (running the race from the confirmed steps it gets).
#include "net/watchers.h"

#include <algorithm>

#include "net/peer.h"

static void drop_spectator(net_peer& p, size_t i, const std::string& why) {
    net_transport_drop(p.transport, p.spectators[i].from, false);
    p.spectators.erase(p.spectators.begin() + (long)i);
    p.line = "A spectator was dropped: " + why;
}

void net_take_spectator(net_peer& p, int from, const net_hello& theirs) {
    int why = hello_refusal(p.handshake.mine, theirs);
    if (!why && (int)p.spectators.size() >= NET_MAX_SPECTATORS) why = NET_REFUSE_FULL;
    if (why) {
        net_transport_send_to(p.transport, from, {encode_refuse((net_refusal)why), true});
        net_transport_drop(p.transport, from, true);
        p.line = "A spectator could not watch: " + refusal_line((net_refusal)why, p.header.track_name);
        return;
    }
    net_spectator s;
    s.from = from;
    p.spectators.push_back(s);
}

bool net_spectator_event(net_peer& p, const net_event& e) {
    for (size_t i = 0; i < p.spectators.size(); i++) {
        if (p.spectators[i].from != e.from) continue;
        if (e.kind == net_event_kind::disconnected) {
            p.spectators.erase(p.spectators.begin() + (long)i);
        } else if (e.kind == net_event_kind::received) {
            // A spectator has nothing to say in a race.
            drop_spectator(p, i, "it sent a message");
        }
        return true;
    }
    return false;
}

// The confirmed steps [from, to) as a spectator receives them.
static net_watch_inputs watch_steps(const net_core& c, long long from, long long to) {
    net_watch_inputs w;
    w.first = from;
    for (long long n = from; n < to; n++)
        w.steps.push_back((uint8_t)(c.inputs[0][(size_t)n] << 4 | c.inputs[1][(size_t)n]));
    return w;
}

// Sends spectator `s` what it lacks while its queue has room. False when it
// has lagged too long and must go.
static bool serve(net_peer& p, net_spectator& s, long long now_ms) {
    const net_core& c = p.session.core;
    const bool over = c.state != net_state::running;
    while (s.sent < c.confirmed && (over || c.confirmed - s.sent >= NET_WATCH_BATCH) &&
           net_transport_queued(p.transport, s.from) < NET_WATCH_QUEUE) {
        const long long to = std::min(c.confirmed, s.sent + NET_WATCH_CHUNK);
        net_transport_send_to(p.transport, s.from, {encode_watch_inputs(watch_steps(c, s.sent, to)), true});
        s.sent = to;
    }
    if (s.sent < c.confirmed && net_transport_queued(p.transport, s.from) >= NET_WATCH_QUEUE) {
        if (s.full_since < 0) s.full_since = now_ms;
        return now_ms - s.full_since < NET_WATCH_BEHIND_MS;
    }
    s.full_since = -1;
    // A race that ends before its finish: the spectator learns it after its last step.
    if (s.sent == c.confirmed && over && c.state != net_state::finished && !s.told_end) {
        net_transport_send_to(p.transport, s.from, {encode_leave(), true});
        s.told_end = true;
    }
    return true;
}

void net_serve_spectators(net_peer& p, long long now_ms) {
    if (p.phase != net_peer_phase::racing && p.phase != net_peer_phase::ended) return;
    for (size_t i = 0; i < p.spectators.size();) {
        if (serve(p, p.spectators[i], now_ms)) {
            i++;
        } else {
            drop_spectator(p, i, "it fell too far behind");
        }
    }
}

bool net_spectators_served(const net_peer& p) {
    for (const net_spectator& s : p.spectators)
        if (s.sent < p.session.core.confirmed || net_transport_queued(p.transport, s.from) > 0) return false;
    return true;
}

// ---- The spectator ----

static void watch_fail(net_peer& p, const std::string& why) {
    p.host_gone = true;
    p.session.core.state = net_state::bad_message;
    p.phase = net_peer_phase::ended;
    p.line = "The host sent a bad message: " + why;
}

void net_watch_receive(net_peer& p, const net_event& e) {
    net_core& c = p.session.core;
    if (p.phase != net_peer_phase::racing) return;
    if (e.kind == net_event_kind::disconnected) {
        p.host_gone = true;
        if (p.line.empty()) p.line = "The host closed the connection";
        return;
    }
    if (e.kind != net_event_kind::received || p.host_gone) return;
    net_message m;
    std::string why;
    if (!read_message(e.bytes.data(), e.bytes.size(), m, why)) return watch_fail(p, why);
    c.stats.messages_received++;
    c.stats.bytes_received += (long long)e.bytes.size();
    if (m.kind == NET_LEAVE) {
        p.host_gone = true;
        p.line = "The race ended before the finish";
        return;
    }
    if (m.kind != NET_WATCH_INPUTS) return watch_fail(p, "a message for a player");
    if (m.watch.first != (long long)c.inputs[0].size()) return watch_fail(p, "steps out of order");
    for (uint8_t two : m.watch.steps) {
        c.inputs[0].push_back((uint8_t)(two >> 4));
        c.inputs[1].push_back((uint8_t)(two & NET_INPUT_BITS));
    }
}

// Runs the next received step; the race stays confirmed all along.
static void watch_step(net_peer& p) {
    net_session<online_race>& s = p.session;
    net_core& c = s.core;
    const uint8_t in[2] = {c.inputs[0][(size_t)c.steps], c.inputs[1][(size_t)c.steps]};
    online_race& next = s.states[(c.steps + 1) % NET_RING];
    next = s.states[c.steps % NET_RING];
    s.ops.step(next, in);
    c.confirmed = ++c.steps;
    if (c.steps % NET_CHECK_EVERY == 0) c.checks.push_back({c.steps, s.ops.checksum(next)});
    if (s.ops.over(next)) c.state = net_state::finished;
}

void net_watch_frame(net_peer& p, long long now_ms, long long max_steps) {
    if (p.phase == net_peer_phase::refused || p.phase == net_peer_phase::ended) return;
    net_peer_take(p, now_ms);
    if (p.phase != net_peer_phase::racing) return;
    net_core& c = p.session.core;
    for (long long n = 0; n < max_steps && c.state == net_state::running && net_watch_behind(p) > 0; n++)
        watch_step(p);
    if (c.state == net_state::finished) {
        p.line = "The race is over";
        p.phase = net_peer_phase::ended;
    } else if (p.host_gone && net_watch_behind(p) == 0) {
        c.state = net_state::opponent_left;
        p.phase = net_peer_phase::ended;
    }
}

long long net_watch_behind(const net_peer& p) {
    return (long long)p.session.core.inputs[0].size() - p.session.core.steps;
}
