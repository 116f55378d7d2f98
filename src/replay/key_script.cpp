// SPDX-License-Identifier: GPL-3.0-or-later
// Key scripts: the "COUNT KEY..." lines that hold the driving keys step by
// step, read, written and walked.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "core/files.h"
#include "replay/replay.h"

bool parse_integer(const std::string& s, long long lo, long long hi, long long& value) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); i++) {
        if (!std::isdigit((unsigned char)s[i]) && !(i == 0 && (s[i] == '-' || s[i] == '+')))
            return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || end == s.c_str()) return false;
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

static const struct {
    const char* name;
    int bit;
} key_names[] = {{"UP", SIM_UP}, {"DOWN", SIM_DOWN}, {"LEFT", SIM_LEFT}, {"RIGHT", SIM_RIGHT},
                 {"W", SIM_W},   {"A", SIM_A},       {"S", SIM_S},       {"D", SIM_D}};

static bool key_bit(std::string name, int& bit) {
    for (auto& c : name) c = (char)std::toupper((unsigned char)c);
    for (const auto& n : key_names) {
        if (name == n.name) {
            bit = n.bit;
            return true;
        }
    }
    return false;
}

bool parse_key_line(const std::vector<std::string>& words, sim_segment& segment, std::string& error) {
    const std::string& count_word = words[0];
    long long count;
    if (!parse_integer(count_word, 0, LLONG_MAX, count) || count_word[0] == '-' || count_word[0] == '+') {
        error = "expected a step count, got '" + printable(count_word) + "'";
        return false;
    }
    int keys = 0;
    for (size_t i = 1; i < words.size(); i++) {
        int bit;
        if (!key_bit(words[i], bit)) {
            error = "unknown key '" + printable(words[i]) + "' (keys: UP DOWN LEFT RIGHT W A S D)";
            return false;
        }
        keys |= bit;
    }
    segment = {count, keys};
    return true;
}

bool parse_key_script(const std::string& text, std::vector<sim_segment>& script,
                      std::string& error) {
    script.clear();
    std::istringstream in(text);
    std::string line;
    int line_no = 0;
    long long total = 0;
    std::vector<std::string> words;
    while (std::getline(in, line)) {
        line_no++;
        std::istringstream split(line);
        words.clear();
        for (std::string w; split >> w;) words.push_back(w);
        if (words.empty() || words[0][0] == '#') continue;   // blank line or comment
        sim_segment segment;
        std::string why;
        if (!parse_key_line(words, segment, why)) {
            error = "line " + std::to_string(line_no) + ": " + why;
            return false;
        }
        if (segment.count > LLONG_MAX - total) {
            error = "line " + std::to_string(line_no) + ": the script holds too many steps";
            return false;
        }
        total += segment.count;
        script.push_back(segment);
    }
    return true;
}

// Each SIM_* bit's player and action, in bit order.
static const struct {
    int player;
    unsigned char action;
} bit_actions[8] = {{0, ACTION_FORWARD}, {0, ACTION_BACK}, {0, ACTION_LEFT}, {0, ACTION_RIGHT},
                    {1, ACTION_FORWARD}, {1, ACTION_LEFT}, {1, ACTION_BACK}, {1, ACTION_RIGHT}};

RaceInput input_of_script_keys(int bits) {
    RaceInput input;
    for (int i = 0; i < 8; i++)
        if (bits >> i & 1) input.player[bit_actions[i].player] |= bit_actions[i].action;
    return input;
}

int script_keys_of_input(RaceInput input) {
    int bits = 0;
    for (int i = 0; i < 8; i++)
        if (input.player[bit_actions[i].player] & bit_actions[i].action) bits |= 1 << i;
    return bits;
}

int next_script_keys(const std::vector<sim_segment>& script, script_position& at) {
    while (at.segment < script.size() && at.used >= script[at.segment].count) {
        at.segment++;
        at.used = 0;
    }
    if (at.segment >= script.size()) return 0;
    at.used++;
    return script[at.segment].keys;
}

void append_script_step(std::vector<sim_segment>& script, int bits) {
    if (!script.empty() && script.back().keys == bits)
        script.back().count++;
    else
        script.push_back({1, bits});
}

std::string format_key_script(const std::vector<sim_segment>& script) {
    std::string out;
    for (const auto& s : script) {
        out += std::to_string(s.count);
        for (const auto& n : key_names)
            if (s.keys & n.bit) out += std::string(" ") + n.name;
        out += '\n';
    }
    return out;
}
