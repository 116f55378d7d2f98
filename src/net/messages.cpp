// SPDX-License-Identifier: GPL-3.0-or-later
// The messages as bytes: a kind byte, then fixed fields in network order;
// the race header travels as replay text, read by the replay file's reader.
#include "net/messages.h"

#include "core/files.h"

namespace {

struct writer {
    std::vector<uint8_t> bytes;
    void u8(unsigned v) { bytes.push_back((uint8_t)v); }
    void u16(unsigned v) { u8(v >> 8); u8(v); }
    void u32(uint32_t v) { u16(v >> 16); u16(v & 0xffff); }
    void text(const std::string& s) {
        u32((uint32_t)s.size());
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
};

struct reader {
    const uint8_t* p;
    size_t left;
    std::string& error;
    bool fail(const std::string& why) {
        if (error.empty()) error = why;
        return false;
    }
    bool u8(unsigned& v, const char* what) {
        if (left < 1) return fail(std::string("the message ends inside its ") + what);
        v = *p++;
        left--;
        return true;
    }
    bool u16(unsigned& v, const char* what) {
        unsigned a, b;
        if (!u8(a, what) || !u8(b, what)) return false;
        v = a << 8 | b;
        return true;
    }
    bool u32(uint32_t& v, const char* what) {
        unsigned a, b;
        if (!u16(a, what) || !u16(b, what)) return false;
        v = (uint32_t)a << 16 | b;
        return true;
    }
    bool number(long long& v, long long lo, long long hi, const char* what) {
        uint32_t u;
        if (!u32(u, what)) return false;
        if ((long long)u < lo || (long long)u > hi)
            return fail(std::string("its ") + what + " " + std::to_string(u) + " is not within " +
                        std::to_string(lo) + ".." + std::to_string(hi));
        v = u;
        return true;
    }
    bool text(std::string& s, size_t max, const char* what) {
        uint32_t n;
        if (!u32(n, what)) return false;
        if (n > max) return fail(std::string("its ") + what + " is longer than " + std::to_string(max) + " bytes");
        if (n > left) return fail(std::string("the message ends inside its ") + what);
        s.assign(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return true;
    }
    bool at_end() {
        if (left == 0) return true;
        return fail(std::to_string(left) + " bytes follow the message");
    }
};

bool printable_version(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < ' ' || c > '~') return false;
    return true;
}

bool read_hello(reader& in, net_hello& h) {
    unsigned protocol;
    if (!in.u16(protocol, "protocol version")) return false;
    h.protocol = (int)protocol;
    // Nothing after the version of another protocol is read: it may mean anything.
    if (h.protocol != NET_PROTOCOL_VERSION) return true;
    if (!in.text(h.game_version, NET_MAX_VERSION_BYTES, "game version")) return false;
    if (!printable_version(h.game_version)) return in.fail("its game version is not printable text");
    unsigned has_race;
    if (!in.u32(h.determinism, "determinism check") || !in.u8(has_race, "race flag")) return false;
    // 0 a racing guest, 1 the host with its race, 2 a spectator.
    if (has_race > 2) return in.fail("its race flag is " + std::to_string(has_race));
    h.has_race = has_race == 1;
    h.watching = has_race == 2;
    if (!h.has_race) return in.at_end();
    unsigned delay;
    if (!in.u8(delay, "input delay")) return false;
    if (delay > NET_MAX_INPUT_DELAY) return in.fail("its input delay is " + std::to_string(delay));
    h.input_delay = (int)delay;
    std::string text, why;
    if (!in.text(text, NET_MAX_HELLO_BYTES, "race header")) return false;
    if (!parse_replay(text, h.race, why)) return in.fail("its race header: " + why);
    if (!h.race.two_player) return in.fail("its race is not a two-player race");
    if (!h.race.keys.empty() || !h.race.checks.empty() || !h.race.result.left ||
        h.race.result.steps != 0)
        return in.fail("its race header holds keys, checks or a result");
    return in.at_end();
}

bool read_inputs(reader& in, net_inputs& m) {
    unsigned count, advantage;
    if (!in.number(m.first, 0, MAX_REPLAY_STEPS, "first step")) return false;
    if (!in.u8(count, "input count")) return false;
    if (count < 1 || count > NET_MAX_WINDOW)
        return in.fail("its input count " + std::to_string(count) + " is not within 1.." +
                       std::to_string(NET_MAX_WINDOW));
    if (m.first + count > MAX_REPLAY_STEPS) return in.fail("its inputs reach past the longest race");
    if (!in.number(m.ack, 0, MAX_REPLAY_STEPS, "acknowledged step")) return false;
    if (!in.u8(advantage, "advantage")) return false;
    if (advantage == 0x80) return in.fail("its advantage is -128");
    m.advantage = advantage < 0x80 ? (int)advantage : (int)advantage - 256;
    m.values.clear();
    for (unsigned i = 0; i < count; i += 2) {
        unsigned two;
        if (!in.u8(two, "inputs")) return false;
        m.values.push_back((uint8_t)(two >> 4));
        if (i + 1 < count)
            m.values.push_back((uint8_t)(two & 0x0f));
        else if (two & 0x0f)
            return in.fail("its padding nibble is not zero");
    }
    return in.at_end();
}

bool read_watch_inputs(reader& in, net_watch_inputs& m) {
    unsigned count;
    if (!in.number(m.first, 0, MAX_REPLAY_STEPS, "first step") || !in.u16(count, "step count")) return false;
    if (count < 1 || count > NET_WATCH_CHUNK)
        return in.fail("its step count " + std::to_string(count) + " is not within 1.." +
                       std::to_string(NET_WATCH_CHUNK));
    if (m.first + count > MAX_REPLAY_STEPS) return in.fail("its steps reach past the longest race");
    if (in.left < count) return in.fail("the message ends inside its steps");
    m.steps.assign(in.p, in.p + count);
    in.p += count;
    in.left -= count;
    return in.at_end();
}

}  // namespace

replay race_header(const replay& r) {
    replay h = r;
    h.keys.clear();
    h.checks.clear();
    h.result = replay_result();
    h.result.left = true;
    return h;
}

std::vector<uint8_t> encode_hello(const net_hello& h) {
    writer w;
    w.u8(NET_HELLO);
    w.u16((unsigned)h.protocol);
    w.text(h.game_version);
    w.u32(h.determinism);
    w.u8(h.has_race ? 1 : h.watching ? 2 : 0);
    if (!h.has_race) return w.bytes;
    w.u8((unsigned)h.input_delay);
    w.text(format_replay(race_header(h.race)));
    return w.bytes;
}

std::vector<uint8_t> encode_refuse(net_refusal why) {
    writer w;
    w.u8(NET_REFUSE);
    w.u8(why);
    return w.bytes;
}

std::vector<uint8_t> encode_inputs(const net_inputs& in) {
    writer w;
    w.u8(NET_INPUTS);
    w.u32((uint32_t)in.first);
    w.u8((unsigned)in.values.size());
    w.u32((uint32_t)in.ack);
    const int adv = in.advantage < -127 ? -127 : in.advantage > 127 ? 127 : in.advantage;
    w.u8((unsigned)(adv & 0xff));
    for (size_t i = 0; i < in.values.size(); i += 2) {
        unsigned two = (unsigned)(in.values[i] & 0x0f) << 4;
        if (i + 1 < in.values.size()) two |= in.values[i + 1] & 0x0f;
        w.u8(two);
    }
    return w.bytes;
}

std::vector<uint8_t> encode_check(const net_check& c) {
    writer w;
    w.u8(NET_CHECK);
    w.u32((uint32_t)c.step);
    w.u32(c.sum);
    return w.bytes;
}

std::vector<uint8_t> encode_leave() { return {NET_LEAVE}; }

std::vector<uint8_t> encode_watch_inputs(const net_watch_inputs& m) {
    writer w;
    w.u8(NET_WATCH_INPUTS);
    w.u32((uint32_t)m.first);
    w.u16((unsigned)m.steps.size());
    w.bytes.insert(w.bytes.end(), m.steps.begin(), m.steps.end());
    return w.bytes;
}

bool read_message(const uint8_t* data, size_t size, net_message& out, std::string& error) {
    out = net_message();
    error.clear();
    if (size > NET_MAX_HELLO_BYTES + 64) {
        error = "a message of " + std::to_string(size) + " bytes";
        return false;
    }
    reader in{data, size, error};
    unsigned kind;
    if (!in.u8(kind, "kind")) return false;
    out.kind = (net_kind)kind;
    switch (kind) {
    case NET_HELLO:
        return read_hello(in, out.hello);
    case NET_REFUSE: {
        unsigned why;
        if (!in.u8(why, "reason")) return false;
        if (why < 1 || why > NET_REFUSE_LAST) return in.fail("an unknown refusal " + std::to_string(why));
        out.refusal = (net_refusal)why;
        return in.at_end();
    }
    case NET_INPUTS:
        return read_inputs(in, out.inputs);
    case NET_CHECK:
        if (!in.number(out.check.step, NET_CHECK_EVERY, MAX_REPLAY_STEPS, "checked step")) return false;
        if (out.check.step % NET_CHECK_EVERY != 0)
            return in.fail("its checked step " + std::to_string(out.check.step) + " is not a multiple of " +
                           std::to_string(NET_CHECK_EVERY));
        return in.u32(out.check.sum, "checksum") && in.at_end();
    case NET_LEAVE:
        return in.at_end();
    case NET_WATCH_INPUTS:
        return read_watch_inputs(in, out.watch);
    default:
        return in.fail("an unknown message kind " + std::to_string(kind));
    }
}

std::string refusal_line(net_refusal why, const std::string& track_name) {
    const std::string track = printable(track_name, 50);
    switch (why) {
    case NET_REFUSE_PROTOCOL: return "The other machine speaks another network protocol version";
    case NET_REFUSE_GAME_VERSION: return "The other machine runs another version of the game";
    case NET_REFUSE_NO_TRACK: return "The guest does not have the track " + track;
    case NET_REFUSE_TRACK_DIFFERS: return "The guest has another version of the track " + track;
    case NET_REFUSE_DETERMINISM: return "The two machines compute races differently (determinism check)";
    case NET_REFUSE_BUSY: return "The host is busy: it is racing someone else";
    case NET_REFUSE_FULL: return "The race has as many spectators as it takes (4)";
    }
    return "The other machine refused the race";
}

int hello_refusal(const net_hello& mine, const net_hello& theirs) {
    if (theirs.protocol != mine.protocol) return NET_REFUSE_PROTOCOL;
    if (theirs.game_version != mine.game_version) return NET_REFUSE_GAME_VERSION;
    if (theirs.determinism != mine.determinism) return NET_REFUSE_DETERMINISM;
    return 0;
}

int track_refusal(const replay& host_race, const std::string& guest_sha256) {
    if (guest_sha256.empty()) return NET_REFUSE_NO_TRACK;
    if (guest_sha256 != host_race.track_sha256) return NET_REFUSE_TRACK_DIFFERS;
    return 0;
}
