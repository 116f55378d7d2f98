// SPDX-License-Identifier: GPL-3.0-or-later
// A machine of an online race: transport events to the handshake, then to
// the session; the guest sets its race up from the host's header.
#include "net/peer.h"

#include "core/files.h"

// The finder of the guest being set up: the handshake asks through a plain
// function, and one process joins one race at a time.
static net_track_finder current_finder = nullptr;

static std::string finder_sha256(const std::string& name) {
    const std::string path = current_finder ? current_finder(name) : "";
    std::string text, why;
    if (path.empty() || !read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, text, why)) return "";
    return sha256_hex(text);
}

static net_hello hello_of(const std::string& game_version) {
    net_hello h;
    h.game_version = game_version;
    h.determinism = determinism_checksum();
    return h;
}

bool net_peer_host(net_peer& p, int port, const std::string& bind_host, const Race& race, const Track& track,
                   const std::string& track_name, const std::string& track_sha256,
                   const std::string& game_version, std::string& error) {
    p.local = 0;
    p.header = online_header(race, track, track_name, track_sha256);
    *p.track = track;
    p.start = race;
    net_hello mine = hello_of(game_version);
    mine.race = p.header;
    mine.input_delay = p.input_delay;
    net_handshake_start(p.handshake, true, mine, nullptr);
    p.hello = encode_hello(p.handshake.mine);
    return net_transport_host(p.transport, port, error, bind_host);
}

bool net_peer_join(net_peer& p, const std::string& address, net_track_finder find_track,
                   const std::string& game_version, std::string& error) {
    p.local = 1;
    current_finder = find_track;
    net_handshake_start(p.handshake, false, hello_of(game_version), finder_sha256);
    return net_transport_join(p.transport, address, error);
}

bool net_peer_watch(net_peer& p, const std::string& address, net_track_finder find_track,
                    const std::string& game_version, std::string& error) {
    p.local = 1;
    p.watching = true;
    current_finder = find_track;
    net_hello mine = hello_of(game_version);
    mine.watching = true;
    net_handshake_start(p.handshake, false, mine, finder_sha256);
    return net_transport_join(p.transport, address, error);
}

static void send_all(net_peer& p, std::vector<net_outgoing> box) {
    for (const net_outgoing& m : box) net_transport_send(p.transport, m);
}

static std::vector<net_outgoing> handshake_outbox(net_peer& p) {
    std::vector<net_outgoing> out;
    out.swap(p.handshake.outbox);
    return out;
}

// The handshake is through: the guest sets up the host's race from its
// header, and both start.
static void start_race(net_peer& p, long long now_ms) {
    if (p.local == 1) {
        p.header = net_handshake_race(p.handshake);
        const std::string path = current_finder ? current_finder(p.header.track_name) : "";
        setup_online_race(p.header, path.c_str(), p.start, *p.track);
        p.input_delay = p.handshake.theirs.input_delay;
    }
    net_transport_choose(p.transport, p.opponent);
    online_race start;
    start.race = p.start;
    start.track = p.track.get();
    net_start(p.session, online_race_ops(), start, p.watching ? 0 : p.local, now_ms, p.input_delay);
    // A spectator knows no input before the host sends it, from step 0.
    if (p.watching)
        for (auto& v : p.session.core.inputs) v.clear();
    p.phase = net_peer_phase::racing;
    p.started_ms = now_ms;
}

static void tell_busy(net_peer& p, int from) {
    net_transport_send_to(p.transport, from, {encode_refuse(NET_REFUSE_BUSY), true});
    net_transport_drop(p.transport, from, true);
}

static void forget(net_peer& p, int from) {
    for (size_t i = 0; i < p.candidates.size(); i++)
        if (p.candidates[i].from == from) {
            p.candidates.erase(p.candidates.begin() + (long)i);
            return;
        }
}

// The host heard from a connection in the handshake: it races it, or lets
// it go (with the refusal when there is one) and goes on hosting.
static void hear_candidate(net_peer& p, const net_event& e, long long now_ms) {
    net_handshake& h = p.handshake;
    net_handshake_receive(h, e.bytes.data(), e.bytes.size());
    const std::vector<net_outgoing> out = handshake_outbox(p);
    for (const net_outgoing& m : out) net_transport_send_to(p.transport, e.from, m);
    if (h.state == net_handshake_state::ready) {
        // The other callers stay: they may come to watch; a guest among
        // them hears busy when its hello comes.
        p.opponent = e.from;
        forget(p, e.from);
        p.line.clear();
        start_race(p, now_ms);
    } else if (h.state == net_handshake_state::refused) {
        // A refusal goes out before the goodbye; a bad message gets none.
        p.line = (h.bad_message ? "A connection was dropped: " : "A guest could not join: ") + h.line;
        net_transport_drop(p.transport, e.from, !h.bad_message);
        forget(p, e.from);
        net_handshake_reopen(h);
    }
}

// A caller during the race: a spectator watches, a guest hears busy,
// anything else is dropped.
static void hear_late_candidate(net_peer& p, const net_event& e) {
    net_message m;
    std::string why;
    forget(p, e.from);
    if (read_message(e.bytes.data(), e.bytes.size(), m, why) && m.kind == NET_HELLO && !m.hello.has_race)
        return tell_busy(p, e.from);
    p.line = "A connection was dropped: " + (why.empty() ? std::string("no hello of a guest") : why);
    net_transport_drop(p.transport, e.from, false);
}

// Any connection of the host but the one it races: callers in the
// handshake (they may come to race or to watch, before or during the race)
// and spectators.
static void host_connection(net_peer& p, const net_event& e, long long now_ms) {
    if (net_spectator_event(p, e)) return;
    if (e.kind == net_event_kind::disconnected) return forget(p, e.from);
    if (e.kind == net_event_kind::connected) {
        p.candidates.push_back({e.from, now_ms});
        net_transport_send_to(p.transport, e.from, {p.hello, true});
        return;
    }
    bool candidate = false;
    for (const net_candidate& c : p.candidates) candidate = candidate || c.from == e.from;
    if (!candidate) return;
    net_message m;
    std::string why;
    if (read_message(e.bytes.data(), e.bytes.size(), m, why) && m.kind == NET_HELLO && m.hello.watching) {
        forget(p, e.from);
        return net_take_spectator(p, e.from, m.hello);
    }
    if (p.phase == net_peer_phase::connecting) return hear_candidate(p, e, now_ms);
    hear_late_candidate(p, e);
}

// Connections still in the handshake after NET_HANDSHAKE_MS are let go.
static void handshake_deadlines(net_peer& p, long long now_ms) {
    if (p.local == 1) {
        if (p.phase != net_peer_phase::connecting) return;
        if (p.joined_ms < 0) p.joined_ms = now_ms;
        // Once connected, the host is the judge of the handshake's time; the
        // guest waits twice that for a host that never says anything.
        if (now_ms - p.joined_ms < (p.opponent < 0 ? NET_CONNECT_MS : 2 * NET_HANDSHAKE_MS)) return;
        p.phase = net_peer_phase::refused;
        p.line = p.transport.connected ? "The host did not answer" : "Could not reach the host";
        return;
    }
    for (size_t i = 0; i < p.candidates.size();) {
        if (now_ms - p.candidates[i].since_ms < NET_HANDSHAKE_MS) {
            i++;
            continue;
        }
        net_transport_drop(p.transport, p.candidates[i].from, false);
        p.candidates.erase(p.candidates.begin() + (long)i);
        p.line = "A connection was dropped: no hello within 5 s";
    }
}

// The guest's connection before the race.
static void guest_handshake(net_peer& p, const net_event& e, long long now_ms) {
    if (e.kind == net_event_kind::connected) {
        p.opponent = e.from;
        p.joined_ms = now_ms;   // the host has its own time for the handshake from now
        return;
    }
    if (e.kind == net_event_kind::disconnected) {
        p.phase = net_peer_phase::refused;
        p.line = p.opponent < 0 ? "Could not reach the host" : "The host closed the connection";
        return;
    }
    net_handshake_receive(p.handshake, e.bytes.data(), e.bytes.size());
    send_all(p, handshake_outbox(p));
    if (p.handshake.state == net_handshake_state::refused) {
        p.phase = net_peer_phase::refused;
        p.line = p.handshake.line;
    } else if (p.handshake.state == net_handshake_state::ready) {
        start_race(p, now_ms);
    }
}

// The host's refusal of a guest or spectator comes after its own hello,
// once the race has started here: it is no race then.
static bool refused_late(net_peer& p, const net_event& e) {
    net_message m;
    std::string why;
    if (p.local != 1 || e.kind != net_event_kind::received || e.bytes.empty() || e.bytes[0] != NET_REFUSE ||
        !read_message(e.bytes.data(), e.bytes.size(), m, why))
        return false;
    p.phase = net_peer_phase::refused;
    p.line = refusal_line(m.refusal, p.header.track_name);
    return true;
}

static void take_events(net_peer& p, long long now_ms) {
    std::vector<net_event> events;
    net_transport_poll(p.transport, events, 0);
    for (const net_event& e : events) {
        if (p.phase == net_peer_phase::refused) return;
        if (p.local == 0 && (e.from != p.opponent || p.opponent < 0)) {
            host_connection(p, e, now_ms);
        } else if (p.phase == net_peer_phase::connecting) {
            guest_handshake(p, e, now_ms);
        } else if (refused_late(p, e)) {
            return;
        } else if (p.watching) {
            net_watch_receive(p, e);
        } else if (e.kind == net_event_kind::disconnected) {
            // A lost connection is no end: the silence rule ends the race.
            // Its slot may serve a stranger next.
            p.opponent = -2;
        } else if (p.phase == net_peer_phase::racing && e.kind == net_event_kind::received) {
            net_receive(p.session, e.bytes.data(), e.bytes.size(), now_ms);
        }
    }
}

void net_peer_take(net_peer& p, long long now_ms) {
    p.last_frame_ms = now_ms;
    take_events(p, now_ms);
    handshake_deadlines(p, now_ms);
}

// One frame of a racing machine's race.
static void race_frame(net_peer& p, int local_bits, long long now_ms, bool waiting) {
    net_core& c = p.session.core;
    net_count_second(c.stats, now_ms);
    if (waiting) {
        // The opponent hears from us, and nothing runs, nor needs to.
        c.progress_ms = now_ms;
        net_watch_link(c, now_ms);
        if (c.state == net_state::running) net_queue_inputs(c);
    } else {
        const long long before = c.steps;
        net_frame(p.session, local_bits, now_ms);
        if (p.perturb_at >= 0 && before < p.perturb_at && c.steps >= p.perturb_at)
            p.session.states[c.steps % NET_RING].race.balls[0].x[p.local] += 0.001f;
    }
    send_all(p, net_take_outbox(c));
    // A finished race whose opponent has gone quiet waits no longer for
    // its last acknowledgement, lost perhaps: the race is whole here.
    const bool quiet = now_ms - c.last_heard_ms >= NET_SILENCE_LEFT_MS;
    if (net_done(c) || (c.state == net_state::finished && quiet)) p.phase = net_peer_phase::ended;
}

void net_peer_frame(net_peer& p, int local_bits, long long now_ms, bool waiting) {
    if (p.phase == net_peer_phase::refused) return;
    net_peer_take(p, now_ms);
    if (p.phase == net_peer_phase::racing) race_frame(p, local_bits, now_ms, waiting);
    if (p.local == 0) net_serve_spectators(p, now_ms);
}

void net_peer_leave(net_peer& p) {
    if (p.phase == net_peer_phase::racing) {
        net_leave(p.session.core);
        send_all(p, net_take_outbox(p.session.core));
        p.phase = net_peer_phase::ended;
        // The spectators get the last steps and the leave before the goodbye.
        if (p.local == 0) net_serve_spectators(p, p.last_frame_ms);
    } else if (p.phase == net_peer_phase::connecting) {
        p.phase = net_peer_phase::refused;
        p.line = "Left before the race";
    }
}

const Race& net_peer_race(const net_peer& p) { return net_current(p.session).race; }
const Race& net_peer_confirmed(const net_peer& p) { return net_confirmed(p.session).race; }

std::string net_peer_line(const net_peer& p, long long now_ms) {
    if (p.phase == net_peer_phase::refused || (p.watching && p.phase != net_peer_phase::connecting)) return p.line;
    if (p.phase == net_peer_phase::connecting && p.local == 1) return "Connecting";
    if (p.phase == net_peer_phase::connecting)
        return p.line.empty() ? "Waiting for an opponent" : "Waiting for an opponent. " + p.line;
    return net_status_line(p.session.core, now_ms);
}

replay net_peer_replay(const net_peer& p) {
    return online_replay(p.header, p.session.core, net_peer_confirmed(p));
}

void net_peer_close(net_peer& p) { net_transport_close(p.transport); }
