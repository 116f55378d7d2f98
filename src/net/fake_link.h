// SPDX-License-Identifier: GPL-3.0-or-later
// A link between two endpoints (0 and 1) inside one process, on a virtual
// clock, for tests: each message sent arrives after a seeded delay with
// jitter, and an unreliable one may be lost, doubled or held back behind
// later ones; reliable ones arrive once and in order, as on the real
// transport. Owns the messages in flight; deterministic for a seed.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

struct fake_link_options {
    long long delay_ms = 50;     // each way
    long long jitter_ms = 10;    // delay drawn within delay ± jitter
    double loss = 0.0;           // of unreliable messages
    double duplicate = 0.0;      // of unreliable messages, a second copy
    double reorder = 0.0;        // of unreliable messages, held back one more delay
    uint32_t seed = 1;
};

struct fake_message {
    long long due_ms;
    long long order;   // sending order, to break ties
    int to;
    std::vector<uint8_t> bytes;
};

struct fake_link {
    fake_link_options opt;
    std::mt19937 random;
    std::vector<fake_message> flight;
    long long sent = 0;
    long long last_reliable_due[2] = {0, 0};
    bool cut = false;   // nothing gets through while set
};

void fake_link_start(fake_link& link, const fake_link_options& opt);
void fake_link_send(fake_link& link, int from, const std::vector<uint8_t>& bytes, bool reliable,
                    long long now_ms);
// The messages for endpoint `to` due by `now_ms`, in the order they arrive.
std::vector<std::vector<uint8_t>> fake_link_receive(fake_link& link, int to, long long now_ms);
