// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim as one machine of an online race: the same peer as the
// game's, paced in real time at the game's 50 steps a second, driven by a
// key script, with the replay written at the end.
#include <signal.h>
#include <time.h>

#include <cstring>
#include <memory>

#include "core/cli.h"
#include "core/files.h"
#include "net/peer.h"
#include "sim/sim.h"
#include "track/track.h"

static constexpr long long FRAME_MS = 20;
// How long a host waits for its opponent, and a guest for the handshake.
static constexpr long long WAIT_FOR_OPPONENT_MS = 120000;

static long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static std::string guest_track_file;
static std::string guest_track_path(const std::string& name) {
    return sim_track_path(guest_track_file, name);
}

static bool start_peer(const sim_options& opt, net_peer& p, FILE* err) {
    const std::string version = opt.net_version.empty() ? chainball_version() : opt.net_version;
    std::string error;
    if (!opt.net_watch.empty()) {
        guest_track_file = opt.track_file;
        if (net_peer_watch(p, opt.net_watch, guest_track_path, version, error)) return true;
        std::fprintf(err, "chainball-sim: cannot watch %s: %s\n", printable(opt.net_watch).c_str(), error.c_str());
        return false;
    }
    if (!opt.net_join.empty()) {
        guest_track_file = opt.track_file;
        if (net_peer_join(p, opt.net_join, guest_track_path, version, error)) return true;
        std::fprintf(err, "chainball-sim: cannot join %s: %s\n", printable(opt.net_join).c_str(), error.c_str());
        return false;
    }
    std::string bytes, why;
    if (!read_regular_file(opt.level_file.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why)) {
        std::fprintf(err, "chainball-sim: cannot read level file '%s': %s\n",
                     printable(opt.level_file, 200).c_str(), why.c_str());
        return false;
    }
    const std::string name = level_name_of_file(opt.level_file);
    if (!track_name_usable(name)) {
        std::fprintf(err, "chainball-sim: '%s' cannot be raced online: its name is no track name\n",
                     printable(name).c_str());
        return false;
    }
    sim_options race = opt;
    race.two_player = true;
    Race start;
    std::unique_ptr<Track> track(new Track);
    sim_setup(race, start, *track);
    if (net_peer_host(p, opt.net_host_port, opt.net_bind, start, *track, name, sha256_hex(bytes), version, error))
        return true;
    std::fprintf(err, "chainball-sim: cannot host on port %d: %s\n", opt.net_host_port, error.c_str());
    return false;
}

// SIGTERM, SIGINT and SIGHUP are held and taken between frames, so that
// the opponent is told this machine leaves.
static void hold_quit_signals(sigset_t& quit, sigset_t& before) {
    sigemptyset(&quit);
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&quit, signo);
    sigprocmask(SIG_BLOCK, &quit, &before);
}

static bool quit_asked(const sigset_t& quit) {
    sigset_t pending;
    sigpending(&pending);
    for (int signo : {SIGTERM, SIGINT, SIGHUP})
        if (sigismember(&quit, signo) && sigismember(&pending, signo)) return true;
    return false;
}

static void release_quit_signals(const sigset_t& quit, const sigset_t& before) {
    const timespec now = {0, 0};
    while (quit_asked(quit)) sigtimedwait(&quit, nullptr, &now);
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// A test's bad guest: it connects, then says nothing or sends a bad
// message, until the host lets it go (status 4) or 15 s pass (status 5).
static int run_stranger(net_peer& p, const std::string& kind, FILE* err) {
    const long long t0 = now_ms();
    while (now_ms() - t0 < 15000) {
        std::vector<net_event> events;
        net_transport_poll(p.transport, events, 20);
        for (const net_event& e : events) {
            if (e.kind == net_event_kind::connected && kind == "garbage")
                net_transport_send(p.transport, {{0xff, 0x00}, true});
            if (e.kind == net_event_kind::disconnected) {
                std::fprintf(err, "chainball-sim: the host let this connection go after %lld ms\n", now_ms() - t0);
                return 4;
            }
        }
    }
    std::fprintf(err, "chainball-sim: the host kept this connection\n");
    return 5;
}

// Frames at the game's pace until the race ends, is refused or the player quits.
static void run_frames(net_peer& p, const sim_options& opt, std::vector<sim_segment>& script, const sigset_t& quit,
                       FILE* err) {
    const long long t0 = now_ms();
    long long next = t0;
    script_position at;
    long long taken = 0;   // script steps read
    int bits = 0;
    std::string shown;
    while (p.phase == net_peer_phase::connecting || p.phase == net_peer_phase::racing) {
        const long long t = now_ms();
        if (t < next) {
            timespec pause = {0, (long)((next - t) * 1000000)};
            nanosleep(&pause, nullptr);
            continue;
        }
        next += FRAME_MS;
        if (next < t) next = t;   // a late frame is not made up for
        if (quit_asked(quit) || (p.phase == net_peer_phase::connecting && t - t0 > WAIT_FOR_OPPONENT_MS)) {
            const bool waited = !quit_asked(quit);
            net_peer_leave(p);
            if (waited) p.line = p.local == 0 ? "No opponent came" : "The host did not answer";
            break;
        }
        // This machine's racer drives by the script's arrow keys: the
        // script's step k is this machine's k-th input. The race may start
        // within this frame, whose input is then the script's first step.
        const net_core& c = p.session.core;
        const long long k =
            p.phase == net_peer_phase::racing ? (long long)c.inputs[p.local].size() - c.delay : 0;
        while (taken <= k) {
            bits = input_of_script_keys(next_script_keys(script, at)).player[0];
            taken++;
        }
        const bool stale = opt.net_misbehave == "stale" && p.session.core.steps >= 100;
        net_peer_frame(p, bits, t, stale);
        const std::string line = net_peer_line(p, t);
        if (line != shown && !line.empty()) std::fprintf(err, "chainball-sim: %s\n", line.c_str());
        shown = line;
    }
}

// A spectator's frames: it runs every step as it comes, until the race is
// over, the host has gone or the player quits.
static void run_watch_frames(net_peer& p, const sim_options& opt, const sigset_t& quit, FILE* err) {
    std::string shown;
    while (p.phase == net_peer_phase::connecting || p.phase == net_peer_phase::racing) {
        const long long t = now_ms();
        if (quit_asked(quit)) {
            net_peer_leave(p);
            break;
        }
        net_watch_frame(p, t, MAX_REPLAY_STEPS);
        // A spectator that speaks in the race: the host must not listen.
        if (opt.net_misbehave == "inputs" && p.phase == net_peer_phase::racing)
            net_transport_send(p.transport, {encode_inputs({0, {15, 15, 15, 15}, 0, 0}), false});
        const std::string line = net_peer_line(p, t);
        if (line != shown && !line.empty()) std::fprintf(err, "chainball-sim: %s\n", line.c_str());
        shown = line;
        timespec pause = {0, FRAME_MS * 1000000};
        nanosleep(&pause, nullptr);
    }
}

// A host whose race is over still sends its spectators the last steps, for
// a while.
static void serve_last_spectators(net_peer& p) {
    const long long t0 = now_ms();
    while (!net_spectators_served(p) && now_ms() - t0 < 3000) {
        net_peer_frame(p, 0, now_ms());
        timespec pause = {0, 5 * 1000000};
        nanosleep(&pause, nullptr);
    }
}

// Writes the replay and the figures of a run that raced or watched: its status.
static int report_net_run(const net_peer& p, const sim_options& opt, FILE* out, FILE* err) {
    const net_core& c = p.session.core;
    const replay r = net_peer_replay(p);
    if (!opt.net_replay_out.empty()) {
        std::string why;
        if (!write_file_atomically(opt.net_replay_out, format_replay(r), why, 0666)) {
            std::fprintf(err, "chainball-sim: cannot write '%s': %s\n", printable(opt.net_replay_out, 200).c_str(),
                         why.c_str());
            return 2;
        }
    }
    const net_stats& st = c.stats;
    if (p.watching) {
        std::fprintf(out, "online spectator: %s; received %lld messages, %lld bytes\n",
                     describe_result(r.result).c_str(), st.messages_received, st.bytes_received);
    } else {
        std::fprintf(out, "online %s: %s; %lld frames, %lld stalled, %lld clock waits, %lld rollbacks, "
                     "%lld steps re-run, at most %d at once; sent %lld messages, %lld bytes; received %lld, %lld bytes\n",
                     p.local == 0 ? "host" : "guest", describe_result(r.result).c_str(), st.frames,
                     st.stalled_frames, st.drift_waits, st.rollbacks, st.rolled_back_steps, st.max_rollback,
                     st.messages_sent, st.bytes_sent, st.messages_received, st.bytes_received);
        const std::string line = net_status_line(c, now_ms());
        if (!line.empty()) std::fprintf(err, "chainball-sim: %s\n", line.c_str());
    }
    std::fflush(out);
    switch (c.state) {
    case net_state::finished: return 0;
    case net_state::races_differ: return 6;
    default: return 5;
    }
}

int run_net_peer(const sim_options& opt, FILE* out, FILE* err) {
    std::vector<sim_segment> script;
    if (!read_sim_script(opt, script, err)) return 2;
    if (opt.net_join.empty() && opt.net_watch.empty() && !check_level_file(opt, err)) return 2;
    std::unique_ptr<net_peer> p(new net_peer);
    p->perturb_at = opt.net_perturb;
    p->input_delay = opt.net_input_delay;
    if (!start_peer(opt, *p, err)) return 4;
    if (opt.net_misbehave == "silent" || opt.net_misbehave == "garbage") {
        const int status = run_stranger(*p, opt.net_misbehave, err);
        net_peer_close(*p);
        return status;
    }
    sigset_t quit, before;
    hold_quit_signals(quit, before);
    if (p->watching) {
        run_watch_frames(*p, opt, quit, err);
    } else {
        run_frames(*p, opt, script, quit, err);
        if (p->local == 0) serve_last_spectators(*p);
    }
    release_quit_signals(quit, before);
    // The last messages out (a finished race's acknowledgements, a leave).
    for (int i = 0; i < 10; i++) {
        std::vector<net_event> ignored;
        net_transport_poll(p->transport, ignored, 5);
    }
    net_peer_close(*p);
    if (p->phase == net_peer_phase::refused) {
        std::fprintf(err, "chainball-sim: no race: %s\n", p->line.c_str());
        return 4;
    }
    return report_net_run(*p, opt, out, err);
}
