// SPDX-License-Identifier: GPL-3.0-or-later
// The replay file: plain text lines, read strictly and written in one
// order (docs/replay-format.md).
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <algorithm>

#include "core/files.h"
#include "race/racing_driver.h"
#include "replay/replay.h"
#include "track/track.h"

static const char* const MAGIC = "chainball-replay";
constexpr float MAX_CARRIED_SPEED = 100.0f;
constexpr float MAX_CARRIED_ACCELERATION = 10.0f;

bool track_name_usable(const std::string& name) {
    if (name.empty() || name.size() > LEVEL_NAME_LEN - 1 || name[0] == '.') return false;
    for (char c : name)
        if (c <= ' ' || c > '~' || c == '/' || c == '\\' || c == '#') return false;
    return true;
}
bool (*replay_read_stop)() = nullptr;

namespace {

// Lines with more words are refused before they are split: the longest a
// replay holds is the slowing list of the largest track.
constexpr size_t MAX_LINE_WORDS = (size_t)MAX_TRACK * MAX_TRACK + 2;
// Lines between two polls of replay_read_stop.
constexpr int STOP_POLL_LINES = 1 << 16;

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The file's lines without blank ones and '#' comments, taken one at a time
// from the text in place: nothing is held for a line but the words of the
// one last taken, so a file of millions of lines costs no more than its text.
struct line_reader {
    const std::string& text;
    size_t pos = 0;                  // where the next line starts
    int line_count = 0;              // lines passed so far, blank ones too
    size_t start = 0, end = 0;       // the next worthy line, once found
    int next_number = 0;             // its number; 0: not looked for yet
    int number = 0;                  // of the line last taken
    std::vector<std::string> words;  // of the line last taken
    bool stopped = false;

    explicit line_reader(const std::string& t) : text(t) {}

    // Finds the next line that holds a word and is no comment.
    void find_next() {
        if (next_number) return;
        while (pos < text.size()) {
            if (replay_read_stop && line_count % STOP_POLL_LINES == 0 && replay_read_stop()) {
                stopped = true;
                pos = text.size();
                break;
            }
            const size_t nl = text.find('\n', pos);
            const size_t line_end = nl == std::string::npos ? text.size() : nl;
            const size_t first = first_word(pos, line_end);
            line_count++;
            const size_t line_start = pos;
            pos = nl == std::string::npos ? text.size() : nl + 1;
            if (first == line_end || text[first] == '#') continue;
            start = line_start;
            end = line_end;
            next_number = line_count;
            return;
        }
    }
    size_t first_word(size_t from, size_t to) const {
        while (from < to && is_space(text[from])) from++;
        return from;
    }
    bool at_end() {
        find_next();
        return !next_number;
    }
    bool next_is(const char* keyword) {
        if (at_end()) return false;
        const size_t first = first_word(start, end);
        const size_t n = std::strlen(keyword);
        return end - first >= n && text.compare(first, n, keyword) == 0 &&
               (first + n == end || is_space(text[first + n]));
    }
    // The line last taken, as it stands in the file.
    std::string line() const { return text.substr(start, end - start); }
    // Takes the next line into `words`, whatever its first word.
    bool take_any(std::string& error) {
        find_next();
        number = next_number;
        next_number = 0;
        size_t n = 0;
        for (size_t i = start; i < end;) {
            i = first_word(i, end);
            if (i == end) break;
            size_t j = i;
            while (j < end && !is_space(text[j])) j++;
            if (n == MAX_LINE_WORDS) {
                error = where() + "more than " + std::to_string(MAX_LINE_WORDS) + " words on one line";
                return false;
            }
            if (n == words.size()) words.emplace_back();
            words[n++].assign(text, i, j - i);
            i = j;
        }
        words.resize(n);
        return true;
    }
    // Takes the next line, which must start with `keyword`.
    bool take(const char* keyword, std::string& error) {
        if (at_end()) {
            error = stopped ? stop_message()
                            : std::string("the file ends before its '") + keyword + "' line (truncated?)";
            return false;
        }
        if (!take_any(error)) return false;
        if (words[0] != keyword) {
            error = where() + "expected '" + keyword + "', got '" + printable(words[0]) + "'";
            return false;
        }
        return true;
    }
    static std::string stop_message() { return "reading stopped: the game was asked to quit"; }
    std::string where() const { return "line " + std::to_string(number) + ": "; }
    bool count(size_t n, std::string& error) const {
        if (words.size() == n) return true;
        error = where() + "'" + words[0] + "' needs " + std::to_string(n - 1) + " value" +
                (n == 2 ? "" : "s") + ", got " + std::to_string(words.size() - 1);
        return false;
    }
    bool number_at(size_t i, long long lo, long long hi, long long& v, std::string& error) const {
        if (i < words.size() && parse_integer(words[i], lo, hi, v)) return true;
        error = where() + "'" + words[0] + "' needs a whole number from " + std::to_string(lo) +
                " to " + std::to_string(hi) + ", got '" +
                printable(i < words.size() ? words[i] : std::string()) + "'";
        return false;
    }
    // "WORD COUNT v1 .. vCOUNT", each value within lo..hi.
    bool list(long long max_count, int lo, int hi, std::vector<int>& out, std::string& error) {
        long long n;
        if (!number_at(1, 0, max_count, n, error)) return false;
        if (!count((size_t)n + 2, error)) return false;
        out.clear();
        for (long long i = 0; i < n; i++) {
            long long v;
            if (!number_at((size_t)i + 2, lo, hi, v, error)) return false;
            out.push_back((int)v);
        }
        return true;
    }
};

bool is_sha256(const std::string& s) {
    if (s.size() != 64) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A finite float as %.9g writes it, which gives back the same bits.
bool parse_float(const std::string& s, float& v) {
    if (s.empty() || s.size() > 40) return false;
    for (char c : s)
        if (!std::isdigit((unsigned char)c) && !std::strchr("+-.e", c)) return false;
    char* end = nullptr;
    v = std::strtof(s.c_str(), &end);
    return *end == '\0' && std::isfinite(v);
}

int hex_digit(char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; }

bool parse_hex32(const std::string& s, uint32_t& v) {
    if (s.size() != 8) return false;
    v = 0;
    for (char c : s) {
        const int d = hex_digit(c);
        if (d < 0) return false;
        v = v << 4 | (uint32_t)d;
    }
    return true;
}

// Version 2: "embedded BYTES" and the track file's bytes as "text HEX"
// lines of up to EMBED_LINE_BYTES bytes each, which must hash to the
// track line's SHA-256.
bool parse_embedded_track(line_reader& in, replay& r, std::string& error) {
    long long bytes;
    if (!in.take("embedded", error) || !in.count(2, error) ||
        !in.number_at(1, 1, MAX_LEVEL_FILE_BYTES, bytes, error))
        return false;
    const long long lines = (bytes + EMBED_LINE_BYTES - 1) / EMBED_LINE_BYTES;
    r.track_text.clear();
    for (long long i = 0; i < lines; i++) {
        if (!in.take("text", error) || !in.count(2, error)) return false;
        const std::string& hex = in.words[1];
        const size_t want = (size_t)(i + 1 < lines ? EMBED_LINE_BYTES : bytes - i * EMBED_LINE_BYTES) * 2;
        if (hex.size() != want) {
            error = in.where() + "the embedded track's line needs " + std::to_string(want) + " hex digits";
            return false;
        }
        for (size_t k = 0; k < hex.size(); k += 2) {
            const int hi = hex_digit(hex[k]), lo = hex_digit(hex[k + 1]);
            if (hi < 0 || lo < 0) {
                error = in.where() + "the embedded track holds a character that is no hex digit";
                return false;
            }
            r.track_text += (char)(hi << 4 | lo);
        }
    }
    if (sha256_hex(r.track_text) != r.track_sha256) {
        error = in.where() + "the embedded track does not match the track's SHA-256";
        return false;
    }
    return true;
}

// What a first line that is not "chainball-replay 1" holds, in words.
std::string first_line_fault(const line_reader& in) {
    const std::string line = in.line();
    std::string fault = "the first line should read '" + std::string(MAGIC) + " " +
                        std::to_string(REPLAY_VERSION) + "', it reads '" + printable(line) + "'";
    if (in.words.size() == 2 && in.words[0] == MAGIC) {
        long long v;
        if (parse_integer(in.words[1], 0, LLONG_MAX, v))
            fault = "replay format version " + in.words[1] + "; this game reads versions " +
                    std::to_string(REPLAY_VERSION) + " to " + std::to_string(REPLAY_VERSION_OFF_ROAD);
    }
    // A line with a carriage return inside: lines that end in CR alone.
    const size_t cr = line.find('\r');
    if (cr != std::string::npos && line.find_first_not_of(" \t\r", cr) != std::string::npos)
        fault += " (its lines end in a carriage return alone; this game reads lines ending in LF or CR LF)";
    return fault;
}

// The race's lines of the head: players, lengths, laps, the optional
// difficulty, the off-road rule (version 3 only) and the speeds carried over.
static bool parse_race_lines(line_reader& in, int version, replay& r, std::string& error) {
    long long v;
    if (!in.take("players", error) || !in.count(2, error) || !in.number_at(1, 1, 2, v, error))
        return false;
    r.two_player = v == 2;
    if (!in.take("lengths", error) || !in.count(4, error)) return false;
    for (int i = 0; i < 3; i++) {
        if (!in.number_at((size_t)i + 1, i == 0 ? 1 : 0, 10, v, error)) return false;
        r.lengths[i] = (int)v;
    }
    if (!in.take("laps", error) || !in.count(2, error) || !in.number_at(1, 1, INT_MAX, v, error))
        return false;
    r.laps = (int)v;
    // Optional: replays without it were raced by the Classic drivers.
    r.difficulty = DIFFICULTY_CLASSIC;
    if (in.next_is("difficulty")) {
        if (!in.take("difficulty", error) || !in.count(2, error)) return false;
        if (!parse_difficulty(in.words[1], r.difficulty)) {
            error = in.where() + "'difficulty' needs classic, good or expert, got '" +
                    printable(in.words[1]) + "'";
            return false;
        }
    }
    // Older versions were raced before the rule: grass as fast as road.
    r.off_road = OFF_ROAD_FREE;
    if (version == REPLAY_VERSION_OFF_ROAD) {
        if (!in.take("off-road", error) || !in.count(2, error)) return false;
        if (in.words[1] != "slows" && in.words[1] != "free") {
            error = in.where() + "'off-road' needs slows or free, got '" + printable(in.words[1]) + "'";
            return false;
        }
        r.off_road = in.words[1] == "slows" ? OFF_ROAD_SLOWS : OFF_ROAD_FREE;
    }
    if (!in.take("carried", error) || !in.count(5, error)) return false;
    for (int i = 0; i < 4; i++) {
        float& f = i < 3 ? r.speeds[i] : r.computer_acceleration;
        // A race never comes near these bounds (the top speed is under 6);
        // far past them the racers would leave any grid in a step.
        const float lo = i < 3 ? -MAX_CARRIED_SPEED : 0.0f;
        const float hi = i < 3 ? MAX_CARRIED_SPEED : MAX_CARRIED_ACCELERATION;
        if (!parse_float(in.words[(size_t)i + 1], f) || f < lo || f > hi) {
            error = in.where() + "'carried' needs three speeds from -100 to 100 and an " +
                    "acceleration from 0 to 10, got '" + printable(in.words[(size_t)i + 1]) + "'";
            return false;
        }
    }
    return true;
}

bool parse_head(line_reader& in, replay& r, std::string& error) {
    if (in.text.compare(0, 3, "\xef\xbb\xbf") == 0) {
        error = "line 1: not a Chainball replay as written: it starts with a byte-order mark "
                "(EF BB BF); save it as plain text without one";
        return false;
    }
    if (in.at_end()) {
        error = in.stopped ? line_reader::stop_message() : "empty file, not a Chainball replay";
        return false;
    }
    if (!in.take_any(error)) return false;
    if (in.words[0] != MAGIC) {
        error = in.where() + "not a Chainball replay (it does not start with '" + MAGIC + "' but '" +
                printable(in.words[0], 20) + "')";
        return false;
    }
    long long version = 0;
    if (in.words.size() != 2 || !parse_integer(in.words[1], REPLAY_VERSION, REPLAY_VERSION_OFF_ROAD, version) ||
        in.words[1] != std::to_string(version)) {
        error = in.where() + first_line_fault(in);
        return false;
    }
    if (!in.take("track", error) || !in.count(3, error)) return false;
    const std::string fault = track_name_fault(in.words[1]);
    if (!fault.empty()) {
        error = in.where() + "'" + printable(in.words[1]) + "' is no track name: " + fault;
        return false;
    }
    if (!is_sha256(in.words[2])) {
        error = in.where() + "the track's SHA-256 must be 64 hex digits";
        return false;
    }
    r.track_name = in.words[1];
    r.track_sha256 = in.words[2];
    // Version 3 carries its track when it holds the lines for it.
    const bool embeds = version == REPLAY_VERSION_EMBEDDED ||
                        (version == REPLAY_VERSION_OFF_ROAD && in.next_is("embedded"));
    if (embeds && !parse_embedded_track(in, r, error)) return false;

    if (!parse_race_lines(in, (int)version, r, error)) return false;
    if (!in.take("slowing", error) || !in.list((long long)MAX_TRACK * MAX_TRACK, 1, 5, r.slowing, error))
        return false;
    if (!in.take("pictures", error) || !in.list(3 * 10, 0, 3, r.pictures, error)) return false;
    const size_t balls = (size_t)(r.lengths[0] + r.lengths[1] + r.lengths[2]);
    if (r.pictures.size() != balls) {
        error = in.where() + std::to_string(r.pictures.size()) + " pictures for " +
                std::to_string(balls) + " balls";
        return false;
    }
    return true;
}

bool parse_keys(line_reader& in, replay& r, long long& total, std::string& error) {
    long long lines;
    if (!in.take("keys", error) || !in.count(2, error) ||
        !in.number_at(1, 0, MAX_REPLAY_STEPS, lines, error))
        return false;
    const int keys_line = in.number;
    // Every key line ends in a newline before the result line: no more
    // room than the text can fill, and no growing of the list.
    r.keys.clear();
    r.keys.reserve((size_t)std::min<long long>(lines, (long long)(in.text.size() - in.pos) / 2));
    total = 0;
    for (long long i = 0; i < lines; i++) {
        if (in.at_end()) {
            error = in.stopped ? line_reader::stop_message()
                               : "line " + std::to_string(keys_line) + ": the key section should hold " +
                                     std::to_string(lines) + " lines; the file ends before, after " +
                                     std::to_string(i) + " (truncated?)";
            return false;
        }
        if (!in.take_any(error)) return false;
        sim_segment segment;
        std::string why;
        if (!parse_key_line(in.words, segment, why)) {
            if (in.words[0] == "check" || in.words[0] == "result")
                why = "the key section should hold " + std::to_string(lines) + " lines, but its line " +
                      std::to_string(i + 1) + " is a '" + in.words[0] + "' line (miscounted or cut?)";
            error = in.where() + "in the key section: " + why;
            return false;
        }
        if (segment.count > MAX_REPLAY_STEPS - total) {
            error = in.where() + "the key section holds more than " + std::to_string(MAX_REPLAY_STEPS) +
                    " steps";
            return false;
        }
        total += segment.count;
        r.keys.push_back(segment);
    }
    return true;
}

bool parse_checks_and_result(line_reader& in, replay& r, long long total, std::string& error) {
    r.checks.clear();
    while (in.next_is("check")) {
        if (!in.take("check", error) || !in.count(3, error)) return false;
        long long step;
        const long long after = r.checks.empty() ? 1 : r.checks.back().step + 1;
        if (after > total) {
            error = in.where() + "a check after the last step";
            return false;
        }
        if (!in.number_at(1, after, total, step, error)) return false;
        uint32_t sum;
        if (!parse_hex32(in.words[2], sum)) {
            error = in.where() + "a check's sum must be 8 hex digits";
            return false;
        }
        r.checks.push_back({step, sum});
    }
    if (!in.take("result", error)) return false;

    replay_result& res = r.result;
    res = replay_result();
    if (in.words.size() >= 2 && in.words[1] == "left") {
        if (!in.count(5, error) || in.words[2] != "at" || in.words[3] != "step") {
            error = in.where() + "expected 'result left at step N'";
            return false;
        }
        if (!in.number_at(4, 0, MAX_REPLAY_STEPS, res.steps, error)) return false;
        res.left = true;
    } else {
        if (!in.count(9, error) || in.words[1] != "winner" || in.words[3] != "steps" ||
            in.words[5] != "laps") {
            error = in.where() + "expected 'result winner W steps N laps A B C' or 'result left at step N'";
            return false;
        }
        long long v;
        if (!in.number_at(2, 1, 3, v, error)) return false;
        res.winner = (int)v;
        if (!in.number_at(4, 1, MAX_REPLAY_STEPS, res.steps, error)) return false;
        for (int i = 0; i < 3; i++) {
            if (!in.number_at((size_t)i + 6, 0, INT_MAX, v, error)) return false;
            res.laps[i] = (int)v;
        }
    }
    if (res.steps != total) {
        error = in.where() + "the result names step " + std::to_string(res.steps) +
                " but the key section holds " + std::to_string(total) + " steps";
        return false;
    }
    if (!in.at_end()) {
        error = "line " + std::to_string(in.next_number) + ": nothing may follow the result line";
        return false;
    }
    return true;
}

}  // namespace

bool parse_replay(const std::string& text, replay& out, std::string& error) {
    out = replay();
    line_reader in(text);
    long long total = 0;
    return parse_head(in, out, error) && parse_keys(in, out, total, error) &&
           parse_checks_and_result(in, out, total, error);
}

static std::string list_line(const char* word, const std::vector<int>& values) {
    std::string s = std::string(word) + " " + std::to_string(values.size());
    for (int v : values) s += " " + std::to_string(v);
    return s + "\n";
}

std::string format_replay(const replay& r) {
    const bool embeds = !r.track_text.empty();
    // A race under Free is written as before, so older games read it.
    const bool slows = r.off_road == OFF_ROAD_SLOWS;
    const int version = slows ? REPLAY_VERSION_OFF_ROAD : embeds ? REPLAY_VERSION_EMBEDDED : REPLAY_VERSION;
    std::string s = std::string(MAGIC) + " " + std::to_string(version) + "\n";
    s += "track " + r.track_name + " " + r.track_sha256 + "\n";
    if (embeds) {
        static const char digits[] = "0123456789abcdef";
        s += "embedded " + std::to_string(r.track_text.size()) + "\n";
        for (size_t at = 0; at < r.track_text.size(); at += EMBED_LINE_BYTES) {
            s += "text ";
            for (size_t k = at; k < r.track_text.size() && k < at + EMBED_LINE_BYTES; k++) {
                const unsigned char c = (unsigned char)r.track_text[k];
                s += digits[c >> 4];
                s += digits[c & 15];
            }
            s += "\n";
        }
    }
    s += std::string("players ") + (r.two_player ? "2" : "1") + "\n";
    s += "lengths " + std::to_string(r.lengths[0]) + " " + std::to_string(r.lengths[1]) + " " +
         std::to_string(r.lengths[2]) + "\n";
    s += "laps " + std::to_string(r.laps) + "\n";
    if (r.difficulty != DIFFICULTY_CLASSIC) s += std::string("difficulty ") + difficulty_name(r.difficulty) + "\n";
    if (slows) s += "off-road slows\n";
    char carried[128];
    std::snprintf(carried, sizeof carried, "carried %.9g %.9g %.9g %.9g\n", (double)r.speeds[0],
                  (double)r.speeds[1], (double)r.speeds[2], (double)r.computer_acceleration);
    s += carried;
    s += list_line("slowing", r.slowing);
    s += list_line("pictures", r.pictures);
    s += "keys " + std::to_string(r.keys.size()) + "\n";
    s += format_key_script(r.keys);
    for (const auto& c : r.checks) {
        char sum[9];
        std::snprintf(sum, sizeof sum, "%08x", (unsigned)c.sum);
        s += "check " + std::to_string(c.step) + " " + sum + "\n";
    }
    const replay_result& res = r.result;
    if (res.left)
        s += "result left at step " + std::to_string(res.steps) + "\n";
    else
        s += "result winner " + std::to_string(res.winner) + " steps " + std::to_string(res.steps) +
             " laps " + std::to_string(res.laps[0]) + " " + std::to_string(res.laps[1]) + " " +
             std::to_string(res.laps[2]) + "\n";
    return s;
}

std::string describe_result(const replay_result& r) {
    if (r.left) return "left at step " + std::to_string(r.steps);
    return "winner " + std::to_string(r.winner) + ", " + std::to_string(r.steps) + " steps, laps " +
           std::to_string(r.laps[0]) + " " + std::to_string(r.laps[1]) + " " +
           std::to_string(r.laps[2]);
}

bool same_result(const replay_result& a, const replay_result& b) {
    if (a.left != b.left || a.steps != b.steps) return false;
    if (a.left) return true;
    return a.winner == b.winner && a.laps[0] == b.laps[0] && a.laps[1] == b.laps[1] &&
           a.laps[2] == b.laps[2];
}

bool check_replay_track(const replay& r, const std::string& path, bool force, std::string& error,
                        std::string& warning) {
    std::string bytes, why;
    warning.clear();
    if (!read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why)) {
        error = "track " + r.track_name + " (" + printable(path, 200) + "): " + why;
        return false;
    }
    if (sha256_hex(bytes) == r.track_sha256) return true;
    const std::string differs = "track " + r.track_name + " (" + printable(path, 200) +
                                ") is not the one the replay was recorded on: its SHA-256 differs";
    if (!force) {
        error = differs + " (--force races it anyway)";
        return false;
    }
    warning = differs + "; raced anyway (--force)";
    return true;
}
