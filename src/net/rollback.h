// SPDX-License-Identifier: GPL-3.0-or-later
// The rollback session of one machine in an online race: its own inputs and
// the opponent's as far as they are known, the race state of every step from
// the last confirmed one to the present, the checksums, the link's health,
// and the messages waiting to be sent. Generic over the race, which it only
// copies, steps and sums through net_race_ops; no sockets, no clock of its
// own (every call is given the time), so two sessions can race over a fake
// link in a test.
//
// Each frame the game:
//   1. hands every message the transport received to net_receive();
//   2. calls net_frame() with its player's four action bits: it runs at most
//      one step (none while it waits for the opponent or lets a slower clock
//      catch up) and queues the inputs message;
//   3. sends what net_take_outbox() gives (reliable or not, as marked);
//   4. draws net_current(), shows net_status_line() when it is not empty,
//      and takes results from net_confirmed() and the first `confirmed`
//      inputs only;
//   5. calls net_leave() when its player quits; stops calling net_frame()
//      once net_done(), after sending the last outbox.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/messages.h"

// States kept, from the confirmed step to the present; more than the
// steps a machine may run ahead of the opponent's inputs.
constexpr int NET_RING = 16;
static_assert(NET_RING > NET_MAX_AHEAD + 1, "the ring must hold every unconfirmed step");
constexpr long long NET_SILENCE_LINE_MS = 1000;   // a line on the screen
constexpr long long NET_SILENCE_LEFT_MS = 5000;   // "Opponent left"
// No step confirmed this long while the opponent is heard: "The race stopped advancing".
constexpr long long NET_STUCK_MS = 5000;
// A machine ahead of the other by this many steps (half the difference of
// the two advantages) waits a frame, at most once every NET_DRIFT_SPACING frames.
constexpr int NET_DRIFT_STEPS = 1;
constexpr int NET_DRIFT_SPACING = 6;

enum class net_state {
    running,
    finished,        // the confirmed race is over
    opponent_left,   // a leave message, or 5 s without a packet
    stuck,           // no step confirmed for 5 s: the opponent's inputs do not advance
    left,            // this machine left
    races_differ,    // the checksums of step `differ_step` differ
    bad_message,     // the opponent sent something this session cannot take
};

struct net_stats {
    long long frames = 0;           // net_frame() calls while running
    long long stalled_frames = 0;   // waited: the opponent's inputs too far behind
    long long drift_waits = 0;      // waited: this machine's clock ahead
    long long rollbacks = 0;
    long long rolled_back_steps = 0;
    int max_rollback = 0;           // steps re-simulated at once
    long long messages_sent = 0, bytes_sent = 0;
    long long messages_received = 0, bytes_received = 0;
    // The network line's rates: the counts at the start of the last whole
    // second and of the current one, and when that one began.
    long long second_started_ms = 0;
    long long rollbacks_at[2] = {0, 0}, bytes_sent_at[2] = {0, 0}, bytes_received_at[2] = {0, 0};
};

// What the network line shows: the rates over the last whole second.
struct net_rates {
    long long rollbacks = 0, bytes_sent = 0, bytes_received = 0;
};

struct net_outgoing {
    std::vector<uint8_t> bytes;
    bool reliable;
};

// The part of a session that does not depend on the race.
struct net_core {
    int local = 0;                  // 0: the host, racer 1; 1: the guest, racer 2
    int delay = NET_INPUT_DELAY;    // the host's input delay, steps
    std::vector<uint8_t> inputs[2]; // action bits of each racer's steps, as far as known
    long long steps = 0;            // steps run, the last ones on predicted inputs
    long long confirmed = 0;        // steps run on known inputs of both racers
    uint8_t predicted[NET_RING] = {};  // the opponent's input each unconfirmed step ran with
    long long peer_ack = 0;         // the opponent holds our inputs of the steps below
    int peer_advantage = 0;
    long long last_heard_ms = 0;
    long long progress_ms = 0;      // when `confirmed` last moved (or the machine last waited on purpose)
    long long progress_step = 0;    // `confirmed` then
    int frames_since_wait = 0;
    std::vector<replay_check> checks;   // ours, every NET_CHECK_EVERY confirmed steps
    std::vector<net_check> peer_checks; // the opponent's not yet compared
    long long peer_checked = 0;         // the step of the opponent's last check
    net_state state = net_state::running;
    long long differ_step = 0;
    std::string error;              // what was wrong with a bad message
    std::vector<net_outgoing> outbox;
    net_stats stats;
};

// The race, as the session sees it. `step` runs one step with the action
// bits of racer 1 and racer 2; `over` tells a finished race; `save` copies
// a state into the ring (a plain assignment when not given), and a rollback
// restores by stepping on from a saved one.
template <class State>
struct net_race_ops {
    void (*step)(State& race, const uint8_t* inputs);
    uint32_t (*checksum)(const State& race);
    bool (*over)(const State& race);
    void (*save)(State& to, const State& from) = nullptr;
};

template <class State>
struct net_session {
    net_core core;
    net_race_ops<State> ops{};
    State states[NET_RING];   // after s steps at s % NET_RING, s from confirmed to steps
};

// ---- The race-free part (rollback.cpp) ----

void net_core_start(net_core& c, int local, long long now_ms, int delay = NET_INPUT_DELAY);
// Takes an inputs message: the first step whose prediction proves wrong, or
// -1. A message no honest opponent sends sets bad_message.
long long net_take_inputs(net_core& c, const net_inputs& in);
void net_take_check(net_core& c, const net_check& check);
// Records our checksum of a confirmed step, queues it and compares.
void net_add_check(net_core& c, long long step, uint32_t sum);
// The opponent's input for step s: known, or its last one repeated.
uint8_t net_remote_input(const net_core& c, long long s);
// Ends a race whose opponent has been silent, or whose confirmed race has
// stood still, too long, and tells the opponent.
void net_watch_link(net_core& c, long long now_ms);
// Whether this frame may run a step; counts the waits.
bool net_may_step(net_core& c, long long now_ms);
void net_queue_inputs(net_core& c);
void net_queue(net_core& c, std::vector<uint8_t> bytes, bool reliable);
void net_leave(net_core& c);
// The transport lost the opponent: the race ends as if it had left.
void net_opponent_gone(net_core& c);
// Sets bad_message with the reason (the first one stays).
void net_fail(net_core& c, const std::string& why);

std::vector<net_outgoing> net_take_outbox(net_core& c);
// The line for the screen: "" while all is well, the link's trouble, or why
// the race ended ("Opponent left", "Races differ from step N", ...).
std::string net_status_line(const net_core& c, long long now_ms);
// The opponent holds every input our confirmed race needed.
bool net_settled(const net_core& c);
// Nothing more to do: ended, and a finished race settled.
bool net_done(const net_core& c);
// Moves the rates on at each whole second (called every frame), and reads them.
void net_count_second(net_stats& st, long long now_ms);
net_rates net_last_second(const net_stats& st);

// ---- The race-generic part ----

template <class State>
void net_start(net_session<State>& s, const net_race_ops<State>& ops, const State& initial, int local,
               long long now_ms, int delay = NET_INPUT_DELAY) {
    s.ops = ops;
    net_core_start(s.core, local, now_ms, delay);
    s.states[0] = initial;
}

template <class State>
const State& net_current(const net_session<State>& s) {
    return s.states[s.core.steps % NET_RING];
}

template <class State>
const State& net_confirmed(const net_session<State>& s) {
    return s.states[s.core.confirmed % NET_RING];
}

// Runs the steps from `from` to the present again on the inputs known now.
template <class State>
void net_resimulate(net_session<State>& s, long long from) {
    net_core& c = s.core;
    for (long long n = from; n < c.steps; n++) {
        uint8_t in[2];
        in[c.local] = c.inputs[c.local][(size_t)n];
        in[1 - c.local] = c.predicted[n % NET_RING] = net_remote_input(c, n);
        State& next = s.states[(n + 1) % NET_RING];
        if (s.ops.save) s.ops.save(next, s.states[n % NET_RING]);
        else next = s.states[n % NET_RING];
        s.ops.step(next, in);
        if (s.ops.over(next)) {
            c.steps = n + 1;
            break;
        }
    }
}

// Moves the confirmed step up to what both racers' inputs allow.
template <class State>
void net_confirm(net_session<State>& s) {
    net_core& c = s.core;
    const long long known = (long long)c.inputs[1 - c.local].size();
    const long long target = known < c.steps ? known : c.steps;
    while (c.confirmed < target && c.state == net_state::running) {
        c.confirmed++;
        const State& race = s.states[c.confirmed % NET_RING];
        if (c.confirmed % NET_CHECK_EVERY == 0) net_add_check(c, c.confirmed, s.ops.checksum(race));
        if (s.ops.over(race) && c.state == net_state::running) c.state = net_state::finished;
    }
}

template <class State>
void net_receive(net_session<State>& s, const uint8_t* data, size_t size, long long now_ms) {
    net_core& c = s.core;
    if (c.state == net_state::bad_message || c.state == net_state::left) return;
    net_message m;
    std::string why;
    if (!read_message(data, size, m, why)) return net_fail(c, why);
    c.stats.messages_received++;
    c.stats.bytes_received += (long long)size;
    c.last_heard_ms = now_ms;
    switch (m.kind) {
    case NET_INPUTS: {
        const long long wrong = net_take_inputs(c, m.inputs);
        if (c.state == net_state::bad_message) return;
        if (wrong >= 0 && c.state == net_state::running) {
            c.stats.rollbacks++;
            const long long back = c.steps - wrong;
            c.stats.rolled_back_steps += back;
            if (back > c.stats.max_rollback) c.stats.max_rollback = (int)back;
            net_resimulate(s, wrong);
        }
        net_confirm(s);
        return;
    }
    case NET_CHECK:
        return net_take_check(c, m.check);
    case NET_LEAVE:
        if (c.state == net_state::running) c.state = net_state::opponent_left;
        return;
    default:
        return net_fail(c, "a handshake message in the race");
    }
}

// One frame: at most one step with this machine's action bits, then the
// inputs message queued. True when it stepped.
template <class State>
bool net_frame(net_session<State>& s, int local_bits, long long now_ms) {
    net_core& c = s.core;
    bool stepped = false;
    net_watch_link(c, now_ms);
    if (c.state == net_state::running && !s.ops.over(net_current(s)) && net_may_step(c, now_ms)) {
        c.inputs[c.local].push_back((uint8_t)(local_bits & NET_INPUT_BITS));
        c.steps++;
        net_resimulate(s, c.steps - 1);
        net_confirm(s);
        stepped = true;
    }
    if (c.state == net_state::running || c.state == net_state::finished) net_queue_inputs(c);
    return stepped;
}

// The sync test's step: the next step on both racers' inputs, known at once,
// then the last `depth` steps (at most NET_MAX_AHEAD) run again from their
// saved states, as a rollback runs them. A session started with delay 0
// takes step n's inputs as the n-th call's; the states of the last `depth`
// steps are then the ones run twice.
template <class State>
void net_sync_step(net_session<State>& s, const uint8_t* inputs, int depth) {
    net_core& c = s.core;
    c.inputs[0].push_back(inputs[0]);
    c.inputs[1].push_back(inputs[1]);
    c.steps++;
    net_resimulate(s, c.steps - 1);
    const long long from = c.steps - depth;
    if (from >= 0) net_resimulate(s, from);
}
