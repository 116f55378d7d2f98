// SPDX-License-Identifier: GPL-3.0-or-later
// A toy race for the rollback tests (float state that any wrong or misplaced
// input changes for good) and two sessions of any race linked by the fake
// link on one virtual clock, each machine with its own frame period and start.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "net/fake_link.h"
#include "net/rollback.h"

struct toy_race {
    double x[2] = {0, 0}, v[2] = {0, 0};
    long long steps = 0;
    long long finish = 3000;
};

inline uint32_t toy_fnv(uint32_t h, const void* p, size_t n) {
    const unsigned char* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; i++) h = (h ^ b[i]) * 16777619u;
    return h;
}

inline void toy_step(toy_race& t, const uint8_t* in) {
    for (int p = 0; p < 2; p++) {
        t.v[p] = t.v[p] * 0.95 + ((in[p] & 1) ? 0.3 : 0.0) - ((in[p] & 2) ? 0.2 : 0.0);
        if (in[p] & 4) t.v[p] += 0.01 * t.x[1 - p];
        if (in[p] & 8) t.v[p] = -t.v[p];
        t.x[p] = std::fmod(t.x[p] + t.v[p], 1000.0);
    }
    t.steps++;
}

inline void toy_step_perturbed_at_1234(toy_race& t, const uint8_t* in) {
    toy_step(t, in);
    if (t.steps == 1234) t.x[0] += 1e-9;
}

inline uint32_t toy_sum(const toy_race& t) {
    uint32_t h = 2166136261u;
    h = toy_fnv(h, t.x, sizeof t.x);
    h = toy_fnv(h, t.v, sizeof t.v);
    return toy_fnv(h, &t.steps, sizeof t.steps);
}

inline bool toy_over(const toy_race& t) { return t.steps >= t.finish; }

inline net_race_ops<toy_race> toy_ops() { return {toy_step, toy_sum, toy_over}; }

// What player p presses at its k-th input: a new choice every few steps.
inline uint8_t toy_script(int p, long long k) {
    uint32_t h = toy_fnv(2166136261u, &p, sizeof p);
    const long long block = k / (5 + p * 2);
    h = toy_fnv(h, &block, sizeof block);
    return (uint8_t)(h >> 7 & NET_INPUT_BITS);
}

inline std::vector<net_outgoing> net_take_outbox_of(std::vector<net_outgoing>& box) {
    std::vector<net_outgoing> out;
    out.swap(box);
    return out;
}

// Two sessions over one fake link on a virtual clock, racing `State`; each
// machine presses toy_script's keys.
template <class State>
struct net_pair {
    fake_link link;
    net_session<State> s[2];
    double host_period_ms = 20.0, guest_period_ms = 20.0;
    double guest_start_ms = 0;
    long long leave_at[2] = {-1, -1};   // the step a side leaves at
    long long stale_at[2] = {-1, -1};   // the step a side stops at, sending its old inputs on
    long long cut_at_ms = -1;
    std::vector<long long> lines_at_ms;  // the host's status line at these times
    std::vector<std::string> lines;
    long long ended_ms[2] = {-1, -1};    // when each side stopped running
    double next[2] = {0, 0};

    // Each machine sets up its own copy of the race.
    net_pair(const fake_link_options& o, const net_race_ops<State>& ops, const State& host_start,
             const State& guest_start, int delay = NET_INPUT_DELAY) {
        fake_link_start(link, o);
        net_start(s[0], ops, host_start, 0, 0, delay);
        net_start(s[1], ops, guest_start, 1, 0, delay);
    }
    long long now(int side) const { return (long long)next[side]; }

    void frame(int side, long long t) {
        net_session<State>& me = s[side];
        for (const auto& b : fake_link_receive(link, side, t)) net_receive(me, b.data(), b.size(), t);
        if (leave_at[side] >= 0 && me.core.steps >= leave_at[side]) net_leave(me.core);
        const long long k = (long long)me.core.inputs[side].size() - me.core.delay;
        if (stale_at[side] >= 0 && me.core.steps >= stale_at[side] && me.core.state == net_state::running) {
            net_queue_inputs(me.core);
        } else {
            net_frame(me, toy_script(side, k), t);
        }
        for (const auto& m : net_take_outbox(me.core)) fake_link_send(link, side, m.bytes, m.reliable, t);
        if (me.core.state != net_state::running && ended_ms[side] < 0) ended_ms[side] = t;
    }

    void run(long long max_ms) {
        next[0] = 0;
        next[1] = guest_start_ms;
        // The guest's session starts with the clock it has.
        s[1].core.last_heard_ms = (long long)guest_start_ms;
        size_t line = 0;
        while (!(net_done(s[0].core) && net_done(s[1].core))) {
            const int side = next[0] <= next[1] ? 0 : 1;
            const long long t = (long long)next[side];
            if (t > max_ms) break;
            if (cut_at_ms >= 0 && t >= cut_at_ms) link.cut = true;
            while (line < lines_at_ms.size() && lines_at_ms[line] <= t)
                lines.push_back(net_status_line(s[0].core, lines_at_ms[line++]));
            if (!net_done(s[side].core)) frame(side, t);
            next[side] += side == 0 ? host_period_ms : guest_period_ms;
            if (net_done(s[side].core)) next[side] = 1e18;
        }
    }
};

inline toy_race toy_start(long long finish) {
    toy_race start;
    start.finish = finish;
    return start;
}

struct toy_pair : net_pair<toy_race> {
    toy_pair(const fake_link_options& o, long long finish, int delay = NET_INPUT_DELAY)
        : net_pair(o, toy_ops(), toy_start(finish), toy_start(finish), delay) {}
};
