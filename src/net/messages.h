// SPDX-License-Identifier: GPL-3.0-or-later
// What two machines say to each other in an online race, as bytes: the
// hello each side sends first (versions, the determinism check, and from the
// host the race header a replay holds), a refusal, the inputs not yet
// acknowledged, the race checksums and the leave. Encoding and a reader that
// trusts nothing it is given; no state of its own. docs/net-protocol.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/replay.h"

// 2: the host's input delay in its hello; spectators (a watching hello,
// the confirmed inputs, a full refusal).
constexpr int NET_PROTOCOL_VERSION = 2;
// The UDP port a host listens on when none is given.
constexpr int NET_DEFAULT_PORT = 7391;
// Steps between a local input and the step it drives, unless the host's
// player chose another (0 to NET_MAX_INPUT_DELAY); both machines race on the
// host's, and know every racer's first `delay` inputs are empty.
constexpr int NET_INPUT_DELAY = 2;
constexpr int NET_MAX_INPUT_DELAY = 4;
// Steps a machine may run past the opponent's last known input before it waits.
constexpr int NET_MAX_AHEAD = 8;
// Inputs one message carries at most; a machine with more unacknowledged waits.
constexpr int NET_MAX_WINDOW = 64;
constexpr int NET_CHECK_EVERY = REPLAY_CHECK_EVERY;
// The largest hello: the race header of the largest grid, with room.
constexpr size_t NET_MAX_HELLO_BYTES = 1 << 20;
constexpr size_t NET_MAX_VERSION_BYTES = 32;
// Four action bits of one racer in one step.
constexpr int NET_INPUT_BITS = 0x0f;

enum net_kind : uint8_t {
    NET_HELLO = 1,    // reliable; host first, the guest answers with its own
    NET_REFUSE = 2,   // reliable; then the sender disconnects
    NET_INPUTS = 3,   // unreliable, every frame
    NET_CHECK = 4,    // reliable
    NET_LEAVE = 5,    // reliable
    NET_WATCH_INPUTS = 6,   // reliable; the host to a spectator: both racers' confirmed inputs
};

// Why a race cannot start; the receiver words the line itself.
enum net_refusal : uint8_t {
    NET_REFUSE_PROTOCOL = 1,
    NET_REFUSE_GAME_VERSION = 2,
    NET_REFUSE_NO_TRACK = 3,       // the guest has no track of that name
    NET_REFUSE_TRACK_DIFFERS = 4,  // the guest's track has other bytes
    NET_REFUSE_DETERMINISM = 5,    // the scripted race ends in another checksum
    NET_REFUSE_BUSY = 6,           // the host already races someone
    NET_REFUSE_FULL = 7,           // the race has as many spectators as it takes
    NET_REFUSE_LAST = NET_REFUSE_FULL,
};

struct net_hello {
    int protocol = NET_PROTOCOL_VERSION;
    std::string game_version;   // printable ASCII, at most NET_MAX_VERSION_BYTES
    uint32_t determinism = 0;   // checksum of the built-in scripted race
    // The host's race: a two-player replay header without keys, checks or
    // result (held as "keys 0" and "result left at step 0").
    bool has_race = false;
    replay race;
    int input_delay = NET_INPUT_DELAY;   // the host's, 0..NET_MAX_INPUT_DELAY; sent with the race
    bool watching = false;               // a spectator's hello (never with a race)
};

struct net_inputs {
    long long first = 0;          // step of values[0]
    std::vector<uint8_t> values;  // 1..NET_MAX_WINDOW inputs, each within NET_INPUT_BITS
    long long ack = 0;            // the sender holds the receiver's inputs of steps below this
    int advantage = 0;            // the sender's steps ahead of the receiver as it sees it, -127..127
};

struct net_check {
    long long step = 0;   // a multiple of NET_CHECK_EVERY
    uint32_t sum = 0;
};

// Confirmed steps from `first` on, as a spectator receives them: each
// byte racer 1's action bits in the high nibble, racer 2's in the low.
constexpr int NET_WATCH_CHUNK = 250;
struct net_watch_inputs {
    long long first = 0;
    std::vector<uint8_t> steps;   // 1..NET_WATCH_CHUNK
};

struct net_message {
    net_kind kind = NET_LEAVE;
    net_hello hello;
    net_refusal refusal = NET_REFUSE_PROTOCOL;
    net_inputs inputs;
    net_check check;
    net_watch_inputs watch;
};

// The header of a replay as a hello carries it: no keys, no checks, "left at step 0".
replay race_header(const replay& r);

std::vector<uint8_t> encode_hello(const net_hello& h);
std::vector<uint8_t> encode_refuse(net_refusal why);
std::vector<uint8_t> encode_inputs(const net_inputs& in);
std::vector<uint8_t> encode_check(const net_check& c);
std::vector<uint8_t> encode_leave();
std::vector<uint8_t> encode_watch_inputs(const net_watch_inputs& w);

// Reads one message. False with the reason in `error` for anything that is
// not exactly one well-formed message with every field in range. A hello of
// another protocol version reads as far as its version: `hello.protocol`
// tells it, the rest stays empty.
bool read_message(const uint8_t* data, size_t size, net_message& out, std::string& error);

// The line a refusal gives the player, on both machines.
std::string refusal_line(net_refusal why, const std::string& track_name);

// What a machine refuses in the other's hello: 0 when it can race it
// (protocol, game version and determinism check agree).
int hello_refusal(const net_hello& mine, const net_hello& theirs);
// What the guest refuses in the host's track: 0 when it has the track by that
// name with the same bytes. `guest_sha256` is the SHA-256 of its track of
// that name, "" when it has none.
int track_refusal(const replay& host_race, const std::string& guest_sha256);
