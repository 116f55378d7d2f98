// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a message from the opponent: the reader either refuses them
// with a reason or reads a message that encodes back to the same bytes; then
// the same bytes go to a handshake and to a rollback session on a small
// race, which may end the race but never read or write outside an array,
// hang or abort.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/handshake.h"
#include "net/messages.h"
#include "net/rollback.h"

namespace {

struct toy {
    uint32_t h = 2166136261u;
    int steps = 0;
};
void toy_step(toy& t, const uint8_t* in) {
    t.h = (t.h ^ (uint32_t)(in[0] | in[1] << 4)) * 16777619u;
    t.steps++;
}
uint32_t toy_sum(const toy& t) { return t.h; }
bool toy_over(const toy& t) { return t.steps >= 400; }
std::string any_track(const std::string&) { return std::string(64, 'a'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    net_message m;
    std::string error;
    if (!read_message(data, size, m, error)) {
        if (error.empty()) abort();   // a refusal always says why
    } else {
        std::vector<uint8_t> back;
        switch (m.kind) {
        case NET_HELLO: back = encode_hello(m.hello); break;
        case NET_REFUSE: back = encode_refuse(m.refusal); break;
        case NET_INPUTS: back = encode_inputs(m.inputs); break;
        case NET_CHECK: back = encode_check(m.check); break;
        case NET_LEAVE: back = encode_leave(); break;
        case NET_WATCH_INPUTS: back = encode_watch_inputs(m.watch); break;
        }
        // A hello of another protocol keeps only its version; the race header
        // is text, which may be written in another layout.
        if (m.kind != NET_HELLO && back != std::vector<uint8_t>(data, data + size)) abort();
        if (m.kind == NET_HELLO && m.hello.protocol == NET_PROTOCOL_VERSION) {
            net_message again;
            if (!read_message(back.data(), back.size(), again, error) || encode_hello(again.hello) != back)
                abort();
        }
    }
    for (int hosting = 0; hosting < 2; hosting++) {
        net_handshake h;
        net_hello mine;
        mine.game_version = "1.1.0";
        mine.race.two_player = true;
        net_handshake_start(h, hosting == 1, mine, any_track);
        net_handshake_connected(h);
        net_handshake_receive(h, data, size);
        if (h.state == net_handshake_state::refused && h.line.empty()) abort();
    }
    // The session a few steps in, then the bytes twice (a duplicate), then more steps.
    static net_session<toy> s;
    net_start(s, net_race_ops<toy>{toy_step, toy_sum, toy_over}, toy(), 1, 0);
    for (int i = 0; i < 5; i++) net_frame(s, i, i * 20);
    net_receive(s, data, size, 100);
    net_receive(s, data, size, 120);
    for (int i = 0; i < 20; i++) net_frame(s, 15 - i % 16, 140 + i * 20);
    if (s.core.state == net_state::bad_message && s.core.error.empty()) abort();
    if (s.core.steps - s.core.confirmed > NET_MAX_AHEAD) abort();
    return 0;
}
