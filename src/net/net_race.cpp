// SPDX-License-Identifier: GPL-3.0-or-later
// The online race adapter and its replays.
#include "net/net_race.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/random.h"
#include "track/track.h"

RaceInput online_input(const uint8_t* bits) {
    RaceInput in;
    in.player[0] = (unsigned char)(bits[0] & NET_INPUT_BITS);
    in.player[1] = (unsigned char)(bits[1] & NET_INPUT_BITS);
    return in;
}

static void online_step(online_race& r, const uint8_t* bits) { race_step(r.race, *r.track, online_input(bits)); }
static uint32_t online_checksum(const online_race& r) { return race_checksum(r.race); }
static bool online_over(const online_race& r) { return race_over(r.race); }

net_race_ops<online_race> online_race_ops() { return {online_step, online_checksum, online_over}; }

// A small loop with slowing cells, so the check runs the chains, the
// computer driver, the slowing and the checkpoints.
static const char DETERMINISM_TRACK[] =
    "0008\n"
    "........\n"
    ".11==22.\n"
    ".11##22.\n"
    ".T#xx.T.\n"
    ".M#.x.T.\n"
    ".44==33.\n"
    ".44##33.\n"
    "........\n";

uint32_t determinism_checksum(int steps) {
    std::unique_ptr<Track> track(new Track());
    Race race = new_race();
    Random random = make_random(7391);
    const RaceSetup setup = {{7, 5, 6}, 3, true, DIFFICULTY_CLASSIC};
    setup_race_text(race, *track, random, setup, "the determinism check", DETERMINISM_TRACK);
    uint32_t sum = race_checksum(race);
    for (int n = 0; n < steps; n++) {
        // Both players change their keys every few steps, out of step.
        const uint8_t bits[2] = {(uint8_t)((n / 7 * 5 + 1) & NET_INPUT_BITS),
                                 (uint8_t)((n / 11 * 3 + 1) & NET_INPUT_BITS)};
        race_step(race, *track, online_input(bits));
        sum = sum * 31u + race_checksum(race);
    }
    return sum;
}

replay online_header(const Race& race, const Track& track, const std::string& track_name,
                     const std::string& track_sha256) {
    replay r;
    r.track_name = track_name;
    r.track_sha256 = track_sha256;
    capture_race_setup(r, race, track);
    r.two_player = true;
    return race_header(r);
}

void setup_online_race(const replay& header, const char* path, Race& race, Track& track) {
    race = new_race();
    Random random = make_random(1);   // every draw is replaced by the header's
    // Player 3 is driven alike on both machines, by the host's difficulty,
    // and the host's off-road rule holds on both.
    const RaceSetup setup = {{header.lengths[0], header.lengths[1], header.lengths[2]}, header.laps, true,
                             header.difficulty, header.off_road};
    setup_race(race, track, random, setup, path);
    apply_race_draws(header, race, track);
}

replay online_replay(const replay& header, const net_core& c, const Race& confirmed) {
    replay r = header;
    r.two_player = true;
    r.keys.clear();
    for (long long n = 0; n < c.confirmed; n++) {
        const uint8_t bits[2] = {c.inputs[0][(size_t)n], c.inputs[1][(size_t)n]};
        append_script_step(r.keys, script_keys_of_input(online_input(bits)));
    }
    r.checks = c.checks;
    r.result = current_result(confirmed, c.confirmed);
    return r;
}

std::string first_race_difference(const Race& a, const Race& b) {
    auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
#define RACE_FIRST_DIFFERENCE(name, sum) \
    if (!same(a.name, b.name)) return #name;
    RACE_FIELDS(RACE_FIRST_DIFFERENCE)
#undef RACE_FIRST_DIFFERENCE
    return "";
}

sync_test_result online_sync_test(const online_race& start, const net_race_ops<online_race>& ops,
                                  const std::vector<uint8_t>& inputs, int depth) {
    sync_test_result result;
    std::unique_ptr<net_session<online_race>> s(new net_session<online_race>());
    net_start(*s, ops, start, 0, 0, 0);
    // The plain run: each step once, on a copy of the one before.
    std::vector<Race> plain(NET_RING, start.race);
    for (size_t i = 0; i + 1 < inputs.size(); i += 2) {
        const long long n = s->core.steps;
        if (ops.over(net_current(*s))) break;
        net_sync_step(*s, &inputs[i], depth);
        Race next = plain[n % NET_RING];
        race_step(next, *start.track, online_input(&inputs[i]));
        plain[(n + 1) % NET_RING] = next;
        result.steps = s->core.steps;
        for (long long m = std::max(1LL, n + 1 - depth); m <= n + 1; m++) {
            const online_race& rerun = s->states[m % NET_RING];
            const Race& once = plain[m % NET_RING];
            if (ops.checksum(rerun) == race_checksum(once) && same_race(rerun.race, once)) continue;
            result.differ_step = m;
            result.field = first_race_difference(rerun.race, once);
            if (result.field.empty()) result.field = "the checksum";
            return result;
        }
    }
    return result;
}
