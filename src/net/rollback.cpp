// SPDX-License-Identifier: GPL-3.0-or-later
// The rollback session's bookkeeping that does not touch the race: inputs
// known and acknowledged, when to wait, checksums, the link's health.
#include "net/rollback.h"

#include <algorithm>

void net_core_start(net_core& c, int local, long long now_ms, int delay) {
    c = net_core();
    c.local = local;
    c.delay = delay;
    // Nobody has pressed anything before the first input reaches its step.
    for (auto& v : c.inputs) v.assign((size_t)delay, 0);
    c.peer_ack = delay;
    c.last_heard_ms = now_ms;
    c.progress_ms = now_ms;
    c.stats.second_started_ms = now_ms;
}

void net_fail(net_core& c, const std::string& why) {
    if (c.state == net_state::bad_message) return;
    c.state = net_state::bad_message;
    c.error = why;
}

uint8_t net_remote_input(const net_core& c, long long s) {
    const std::vector<uint8_t>& v = c.inputs[1 - c.local];
    if (s < (long long)v.size()) return v[(size_t)s];
    return v.empty() ? 0 : v.back();
}

long long net_take_inputs(net_core& c, const net_inputs& in) {
    std::vector<uint8_t>& mine = c.inputs[c.local];
    std::vector<uint8_t>& theirs = c.inputs[1 - c.local];
    if (in.ack > (long long)mine.size()) {
        net_fail(c, "it acknowledges inputs of step " + std::to_string(in.ack - 1) +
                        ", which were never sent");
        return -1;
    }
    // An honest opponent's inputs reach at most its own delay past ours and
    // its allowance of steps ahead.
    const long long reach = (long long)mine.size() + c.delay + NET_MAX_AHEAD;
    if (in.first + (long long)in.values.size() > reach) {
        net_fail(c, "it sends inputs up to step " +
                        std::to_string(in.first + (long long)in.values.size() - 1) +
                        ", further ahead than a race allows");
        return -1;
    }
    c.peer_ack = std::max(c.peer_ack, in.ack);
    c.peer_advantage = in.advantage;
    const long long old_known = (long long)theirs.size();
    for (size_t i = 0; i < in.values.size(); i++) {
        const long long s = in.first + (long long)i;
        if (s < (long long)theirs.size()) {
            if (theirs[(size_t)s] != in.values[i]) {
                net_fail(c, "it changed its input of step " + std::to_string(s));
                return -1;
            }
        } else if (s == (long long)theirs.size()) {
            theirs.push_back(in.values[i]);
        }
        // A gap (a later step than the next one missing) cannot come from an
        // honest opponent either; what lies past it waits for a repeat.
    }
    const long long end = std::min((long long)theirs.size(), c.steps);
    for (long long s = std::max(old_known, c.confirmed); s < end; s++)
        if (theirs[(size_t)s] != c.predicted[s % NET_RING]) return s;
    return -1;
}

static void compare_checks(net_core& c) {
    size_t kept = 0;
    for (const net_check& p : c.peer_checks) {
        const long long index = p.step / NET_CHECK_EVERY - 1;
        if (index >= (long long)c.checks.size()) {
            c.peer_checks[kept++] = p;
            continue;
        }
        if (c.checks[(size_t)index].sum != p.sum && c.state == net_state::running) {
            c.state = net_state::races_differ;
            c.differ_step = p.step;
        }
    }
    c.peer_checks.resize(kept);
}

void net_take_check(net_core& c, const net_check& check) {
    // The opponent confirms only steps whose inputs of ours it holds.
    if (check.step > (long long)c.inputs[c.local].size()) {
        net_fail(c, "it checks step " + std::to_string(check.step) + " before our inputs reach it");
        return;
    }
    if (check.step != c.peer_checked + NET_CHECK_EVERY) {
        net_fail(c, "it checks step " + std::to_string(check.step) + " after step " +
                        std::to_string(c.peer_checked));
        return;
    }
    c.peer_checked = check.step;
    c.peer_checks.push_back(check);
    compare_checks(c);
}

void net_add_check(net_core& c, long long step, uint32_t sum) {
    c.checks.push_back({step, sum});
    net_queue(c, encode_check({step, sum}), true);
    compare_checks(c);
}

void net_watch_link(net_core& c, long long now_ms) {
    if (c.confirmed != c.progress_step) {
        c.progress_step = c.confirmed;
        c.progress_ms = now_ms;
    }
    if (c.state != net_state::running) return;
    if (now_ms - c.last_heard_ms >= NET_SILENCE_LEFT_MS) {
        c.state = net_state::opponent_left;
    } else if (now_ms - c.progress_ms >= NET_STUCK_MS) {
        c.state = net_state::stuck;
    } else {
        return;
    }
    // The opponent, perhaps only slow to be heard, learns of it at once.
    net_queue(c, encode_leave(), true);
}

bool net_may_step(net_core& c, long long now_ms) {
    (void)now_ms;
    c.stats.frames++;
    c.frames_since_wait++;
    const long long known = (long long)c.inputs[1 - c.local].size();
    const bool too_far = c.steps + 1 - known > NET_MAX_AHEAD;
    const bool window_full = (long long)c.inputs[c.local].size() + 1 - c.peer_ack > NET_MAX_WINDOW;
    if (too_far || window_full) {
        c.stats.stalled_frames++;
        return false;
    }
    // Both machines see the same latency, so half the difference of their
    // advantages is how far this one's clock runs ahead.
    const int advantage = (int)(c.steps - (known - c.delay));
    if ((advantage - c.peer_advantage) / 2 >= NET_DRIFT_STEPS &&
        c.frames_since_wait >= NET_DRIFT_SPACING) {
        c.frames_since_wait = 0;
        c.stats.drift_waits++;
        return false;
    }
    return true;
}

void net_queue(net_core& c, std::vector<uint8_t> bytes, bool reliable) {
    c.stats.messages_sent++;
    c.stats.bytes_sent += (long long)bytes.size();
    c.outbox.push_back({std::move(bytes), reliable});
}

void net_queue_inputs(net_core& c) {
    const std::vector<uint8_t>& mine = c.inputs[c.local];
    net_inputs m;
    m.first = std::min(c.peer_ack, (long long)mine.size() - 1);
    m.values.assign(mine.begin() + m.first, mine.end());
    if (m.values.size() > (size_t)NET_MAX_WINDOW) m.values.resize(NET_MAX_WINDOW);
    m.ack = (long long)c.inputs[1 - c.local].size();
    const long long advantage = c.steps - (m.ack - c.delay);
    m.advantage = (int)std::max(-127LL, std::min(127LL, advantage));
    net_queue(c, encode_inputs(m), false);
}

void net_leave(net_core& c) {
    if (c.state != net_state::running) return;
    c.state = net_state::left;
    net_queue(c, encode_leave(), true);
}

void net_opponent_gone(net_core& c) {
    if (c.state == net_state::running) c.state = net_state::opponent_left;
}

std::vector<net_outgoing> net_take_outbox(net_core& c) {
    std::vector<net_outgoing> out;
    out.swap(c.outbox);
    return out;
}

std::string net_status_line(const net_core& c, long long now_ms) {
    switch (c.state) {
    case net_state::running: {
        const long long quiet = now_ms - c.last_heard_ms;
        if (quiet >= NET_SILENCE_LINE_MS)
            return "Connection problem: nothing from the opponent for " + std::to_string(quiet / 1000) + " s";
        const long long still = now_ms - c.progress_ms;
        if (still >= NET_SILENCE_LINE_MS && c.confirmed == c.progress_step)
            return "Connection problem: the race has not advanced for " + std::to_string(still / 1000) + " s";
        return "";
    }
    case net_state::finished: return "";
    case net_state::opponent_left: return "Opponent left";
    case net_state::stuck: return "The race stopped advancing";
    case net_state::left: return "";
    case net_state::races_differ: return "Races differ from step " + std::to_string(c.differ_step);
    case net_state::bad_message: return "The opponent sent a bad message: " + c.error;
    }
    return "";
}

bool net_settled(const net_core& c) { return c.peer_ack >= c.confirmed; }

bool net_done(const net_core& c) {
    if (c.state == net_state::running) return false;
    return c.state != net_state::finished || net_settled(c);
}

void net_count_second(net_stats& st, long long now_ms) {
    if (now_ms - st.second_started_ms < 1000) return;
    // A gap of more than a second leaves nothing to compare with.
    const bool gap = now_ms - st.second_started_ms >= 2000;
    st.rollbacks_at[0] = gap ? st.rollbacks : st.rollbacks_at[1];
    st.bytes_sent_at[0] = gap ? st.bytes_sent : st.bytes_sent_at[1];
    st.bytes_received_at[0] = gap ? st.bytes_received : st.bytes_received_at[1];
    st.rollbacks_at[1] = st.rollbacks;
    st.bytes_sent_at[1] = st.bytes_sent;
    st.bytes_received_at[1] = st.bytes_received;
    st.second_started_ms = gap ? now_ms : st.second_started_ms + 1000;
}

net_rates net_last_second(const net_stats& st) {
    net_rates r;
    r.rollbacks = st.rollbacks_at[1] - st.rollbacks_at[0];
    r.bytes_sent = st.bytes_sent_at[1] - st.bytes_sent_at[0];
    r.bytes_received = st.bytes_received_at[1] - st.bytes_received_at[0];
    return r;
}
