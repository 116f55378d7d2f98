// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's settings file: TOML read and written with toml++.
#include "config/config.h"

#include <SDL/SDL_keysym.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "core/files.h"

#include "config/file_lock.h"
#include "config/toml_text.h"

// ---- Key names -----------------------------------------------------------

namespace {
struct named_key {
    int key;
    const char* name;
};
// SDL's names of the keys that are not single characters.
const named_key named_keys[] = {
    {SDLK_BACKSPACE, "backspace"}, {SDLK_TAB, "tab"}, {SDLK_CLEAR, "clear"}, {SDLK_RETURN, "return"},
    {SDLK_PAUSE, "pause"}, {SDLK_ESCAPE, "escape"}, {SDLK_SPACE, "space"}, {SDLK_DELETE, "delete"},
    {SDLK_KP0, "[0]"}, {SDLK_KP1, "[1]"}, {SDLK_KP2, "[2]"}, {SDLK_KP3, "[3]"}, {SDLK_KP4, "[4]"},
    {SDLK_KP5, "[5]"}, {SDLK_KP6, "[6]"}, {SDLK_KP7, "[7]"}, {SDLK_KP8, "[8]"}, {SDLK_KP9, "[9]"},
    {SDLK_KP_PERIOD, "[.]"}, {SDLK_KP_DIVIDE, "[/]"}, {SDLK_KP_MULTIPLY, "[*]"},
    {SDLK_KP_MINUS, "[-]"}, {SDLK_KP_PLUS, "[+]"}, {SDLK_KP_ENTER, "enter"},
    {SDLK_KP_EQUALS, "equals"}, {SDLK_UP, "up"}, {SDLK_DOWN, "down"}, {SDLK_RIGHT, "right"},
    {SDLK_LEFT, "left"}, {SDLK_INSERT, "insert"}, {SDLK_HOME, "home"}, {SDLK_END, "end"},
    {SDLK_PAGEUP, "page up"}, {SDLK_PAGEDOWN, "page down"}, {SDLK_F1, "f1"}, {SDLK_F2, "f2"},
    {SDLK_F3, "f3"}, {SDLK_F4, "f4"}, {SDLK_F5, "f5"}, {SDLK_F6, "f6"}, {SDLK_F7, "f7"},
    {SDLK_F8, "f8"}, {SDLK_F9, "f9"}, {SDLK_F10, "f10"}, {SDLK_F11, "f11"}, {SDLK_F12, "f12"},
    {SDLK_F13, "f13"}, {SDLK_F14, "f14"}, {SDLK_F15, "f15"}, {SDLK_NUMLOCK, "numlock"},
    {SDLK_CAPSLOCK, "caps lock"}, {SDLK_SCROLLOCK, "scroll lock"}, {SDLK_RSHIFT, "right shift"},
    {SDLK_LSHIFT, "left shift"}, {SDLK_RCTRL, "right ctrl"}, {SDLK_LCTRL, "left ctrl"},
    {SDLK_RALT, "right alt"}, {SDLK_LALT, "left alt"}, {SDLK_RMETA, "right meta"},
    {SDLK_LMETA, "left meta"}, {SDLK_LSUPER, "left super"}, {SDLK_RSUPER, "right super"},
    {SDLK_MODE, "alt gr"}, {SDLK_COMPOSE, "compose"}, {SDLK_HELP, "help"},
    {SDLK_PRINT, "print screen"}, {SDLK_SYSREQ, "sys req"}, {SDLK_BREAK, "break"},
    {SDLK_MENU, "menu"}, {SDLK_POWER, "power"}, {SDLK_EURO, "euro"}, {SDLK_UNDO, "undo"},
};

// The characters SDL has a key for, each named by itself.
bool character_key(int key) {
    return (key >= '!' && key <= '@' && key != '%') || (key >= '[' && key <= 'z');
}

// Escape leaves races and menus and F11 switches fullscreen: never bindable.
bool reserved_key(int key) { return key == SDLK_ESCAPE || key == SDLK_F11; }
}  // namespace

namespace {
// The names of the single-character keys (each key's own character) and of
// the international keys ("world 0" to "world 95"), made at compile time.
struct key_texts {
    char single[SDLK_LAST][2];
    char world[96][12];
};

constexpr key_texts make_key_texts() {
    key_texts t{};
    for (int k = 0; k < SDLK_LAST; k++) t.single[k][0] = (char)k;
    for (int n = 0; n < 96; n++) {
        const char prefix[] = "world ";
        int i = 0;
        for (; prefix[i]; i++) t.world[n][i] = prefix[i];
        if (n >= 10) t.world[n][i++] = (char)('0' + n / 10);
        t.world[n][i] = (char)('0' + n % 10);
    }
    return t;
}

constexpr key_texts KEY_TEXTS = make_key_texts();
}  // namespace

const char* key_name(int key) {
    if (key > 0 && key < SDLK_LAST && character_key(key)) return KEY_TEXTS.single[key];
    if (key >= SDLK_WORLD_0 && key <= SDLK_WORLD_95) return KEY_TEXTS.world[key - SDLK_WORLD_0];
    for (const named_key& k : named_keys)
        if (k.key == key) return k.name;
    return "";
}

int key_from_name(const std::string& name) {
    if (name.size() == 1 && character_key((unsigned char)name[0])) return (unsigned char)name[0];
    for (const named_key& k : named_keys)
        if (name == k.name) return k.key;
    if (name.compare(0, 6, "world ") == 0) {
        long long n;
        const std::string digits = name.substr(6);
        char* end = nullptr;
        n = std::strtoll(digits.c_str(), &end, 10);
        if (!digits.empty() && digits.size() <= 2 && std::isdigit((unsigned char)digits[0]) && !*end &&
            n >= 0 && n <= 95)
            return SDLK_WORLD_0 + (int)n;
    }
    return -1;
}

std::string binding_name(const binding& b) {
    if (b.kind == binding::PAD_BUTTON) return "button " + std::to_string(b.code);
    return std::string(b.ctrl ? "ctrl+" : "") + key_name(b.code);
}

bool binding_from_name(const std::string& name, binding& b) {
    binding got;
    if (name.compare(0, 7, "button ") == 0) {
        const std::string digits = name.substr(7);
        if (digits.empty() || digits.size() > 2) return false;
        for (char c : digits)
            if (c < '0' || c > '9') return false;
        got.kind = binding::PAD_BUTTON;
        got.code = std::atoi(digits.c_str());
        if (got.code >= MAX_PAD_BUTTONS || (digits.size() == 2 && digits[0] == '0')) return false;
        b = got;
        return true;
    }
    std::string key = name;
    if (key.compare(0, 5, "ctrl+") == 0 && key.size() > 5) {
        got.ctrl = true;
        key = key.substr(5);
    }
    got.code = key_from_name(key);
    if (got.code < 0) return false;
    b = got;
    return true;
}

// ---- Defaults ------------------------------------------------------------

game_config::game_config() {
    const int keys[2][DRIVING_ACTIONS] = {{SDLK_UP, SDLK_DOWN, SDLK_LEFT, SDLK_RIGHT},
                                          {SDLK_w, SDLK_s, SDLK_a, SDLK_d}};
    for (int p = 0; p < 2; p++)
        for (int a = 0; a < DRIVING_ACTIONS; a++) drive[p][a].code = keys[p][a];
    pause.code = SDLK_p;
    pause.ctrl = true;
}

static const char* const action_names[DRIVING_ACTIONS] = {"forward", "back", "left", "right"};

std::string config_path() {
    const std::string folder = user_folder(UserFolder::config);
    return folder.empty() ? "" : folder + "/chainball.toml";
}

// ---- Reading -------------------------------------------------------------

namespace {
constexpr int UNKNOWN_KEYS_SHOWN = 5;

// Walks one parsed file into a game_config, one problem line at a time.
struct reader {
    game_config& c;
    std::vector<std::string>& problems;
    int unknown = 0;   // unknown names met: only the first few get a line each

    void problem(const std::string& line) { problems.push_back(line); }

    static const char* type_words(const toml::node& n) {
        switch (n.type()) {
        case toml::node_type::table: return "a table";
        case toml::node_type::array: return "a list";
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "a whole number";
        case toml::node_type::floating_point: return "a fraction";
        case toml::node_type::boolean: return "true or false";
        default: return "a date or time";
        }
    }

    void wrong_type(const std::string& where, const toml::node& n, const std::string& expected,
                    const std::string& kept) {
        problem(where + ": expected " + expected + ", found " + type_words(n) + "; using " + kept);
    }

    // Unknown names in a table: one line each for the first few (a misspelt
    // setting), then a count, so a file of thousands is not as many lines.
    void unknown_keys(const toml::table& t, const std::string& prefix,
                      std::initializer_list<const char*> known) {
        for (auto&& [k, v] : t) {
            (void)v;
            bool found = false;
            for (const char* name : known) found = found || k.str() == name;
            if (!found && ++unknown <= UNKNOWN_KEYS_SHOWN)
                problem("unknown setting '" + printable(prefix + std::string(k.str())) + "'");
        }
    }

    const toml::table* table(const toml::table& t, const char* key, const std::string& where) {
        const toml::node* n = t.get(key);
        if (!n) return nullptr;
        if (!n->is_table()) {
            wrong_type(where, *n, "a table", "the defaults for all of it");
            return nullptr;
        }
        return n->as_table();
    }

    // `kept` names what `out` keeps when it is no plain number ("auto").
    void whole(const toml::node* n, const std::string& where, long long lo, long long hi, int& out,
               const std::string& kept = "") {
        if (!n) return;
        const std::string range = std::to_string(lo) + " to " + std::to_string(hi);
        const std::string using_now = kept.empty() ? std::to_string(out) : kept;
        if (!n->is_integer()) return wrong_type(where, *n, "a whole number from " + range, using_now);
        const long long v = n->as_integer()->get();
        if (v < lo || v > hi) {
            problem(where + ": " + std::to_string(v) + " is outside " + range + "; using " + using_now);
            return;
        }
        out = (int)v;
    }

    void flag(const toml::node* n, const std::string& where, bool& out) {
        if (!n) return;
        if (!n->is_boolean()) return wrong_type(where, *n, "true or false", out ? "true" : "false");
        out = n->as_boolean()->get();
    }

    bool text(const toml::node* n, const std::string& where, const std::string& expected,
              const std::string& kept, std::string& out) {
        if (!n) return false;
        if (!n->is_string()) {
            wrong_type(where, *n, expected, kept);
            return false;
        }
        out = n->as_string()->get();
        return true;
    }

    void race(const toml::table& t) {
        unknown_keys(t, "race.", {"lengths", "laps", "track", "music", "music_volume", "effects_volume", "difficulty",
                              "ghosts", "off_road"});
        if (const toml::node* n = t.get("lengths")) {
            const toml::array* a = n->as_array();
            if (!a || a->size() != 3) {
                problem("race.lengths: expected a list of three chain lengths, like [7, 2, 5]; using "
                        "the defaults");
            } else {
                for (int r = 0; r < 3; r++)
                    whole(a->get(r), "race.lengths[" + std::to_string(r + 1) + "]", r == 0 ? 1 : 0, 10,
                          c.chain_length[r]);
            }
        }
        whole(t.get("laps"), "race.laps", 1, MAX_CONFIG_LAPS, c.laps);
        std::string s;
        if (text(t.get("track"), "race.track", "a track's name", "the first track", s)) {
            bool usable = s.size() <= MAX_TRACK_NAME;
            for (unsigned char ch : s) usable = usable && ch >= 0x20 && ch < 0x7f && ch != '/' && ch != '#';
            if (usable)
                c.track = s;
            else
                problem("race.track: '" + printable(s) + "' cannot be a track's name; using the first track");
        }
        flag(t.get("music"), "race.music", c.music);
        whole(t.get("music_volume"), "race.music_volume", 0, 10, c.music_volume);
        whole(t.get("effects_volume"), "race.effects_volume", 0, 10, c.effects_volume);
        if (text(t.get("difficulty"), "race.difficulty", "\"classic\", \"good\" or \"expert\"",
                 difficulty_name(c.level), s)) {
            int found = -1;
            if (!parse_difficulty(s, found))
                problem("race.difficulty: '" + printable(s) + "' is not classic, good or expert; using " +
                        difficulty_name(c.level));
            else
                c.level = difficulty_of(found);
        }
        flag(t.get("ghosts"), "race.ghosts", c.ghosts);
        const char* kept = c.off_road_slows ? "slows" : "free";
        if (text(t.get("off_road"), "race.off_road", "\"slows\" or \"free\"", kept, s)) {
            if (s == "slows" || s == "free")
                c.off_road_slows = s == "slows";
            else
                problem("race.off_road: '" + printable(s) + "' is not slows or free; using " + kept);
        }
    }

    void window(const toml::table& t) {
        unknown_keys(t, "window.", {"scale", "fullscreen", "minimap"});
        whole(t.get("scale"), "window.scale", 1, 4, c.scale);
        flag(t.get("fullscreen"), "window.fullscreen", c.fullscreen);
        flag(t.get("minimap"), "window.minimap", c.minimap);
    }

    void one_binding(const toml::node* n, const std::string& where, bool may_ctrl, binding& out) {
        std::string s;
        const std::string kept = "'" + binding_name(out) + "'";
        if (!text(n, where, "a key's name or \"button N\"", kept, s)) return;
        binding b;
        if (!binding_from_name(s, b)) {
            problem(where + ": '" + printable(s) + "' is no key's name nor \"button 0\" to \"button 31\"; using " +
                    kept);
        } else if (b.kind == binding::KEY && reserved_key(b.code)) {
            problem(where + ": '" + printable(s) + "' is kept for leaving and fullscreen; using " + kept);
        } else if (b.ctrl && !may_ctrl) {
            problem(where + ": '" + printable(s) + "': only the pause takes ctrl+; using " + kept);
        } else {
            out = b;
        }
    }

    void keys(const toml::table& t) {
        unknown_keys(t, "keys.", {"player1", "player2", "pause"});
        for (int p = 0; p < 2; p++) {
            const std::string name = "player" + std::to_string(p + 1);
            const toml::table* pt = table(t, name.c_str(), "keys." + name);
            if (!pt) continue;
            unknown_keys(*pt, "keys." + name + ".", {"forward", "back", "left", "right"});
            for (int a = 0; a < DRIVING_ACTIONS; a++)
                one_binding(pt->get(action_names[a]), "keys." + name + "." + action_names[a], false,
                            c.drive[p][a]);
        }
        one_binding(t.get("pause"), "keys.pause", true, c.pause);
    }

    void pad(const toml::table& t) {
        unknown_keys(t, "pad.", {"choose", "back", "start"});
        whole(t.get("choose"), "pad.choose", 0, MAX_PAD_BUTTONS - 1, c.pad_choose);
        whole(t.get("back"), "pad.back", 0, MAX_PAD_BUTTONS - 1, c.pad_back);
        const toml::node* start = t.get("start");
        const std::string kept = c.pad_start < 0 ? "auto" : std::to_string(c.pad_start);
        if (start && start->is_string() && start->as_string()->get() == "auto")
            c.pad_start = -1;
        else if (start && !start->is_integer())
            wrong_type("pad.start", *start, "\"auto\" or a button from 0 to 31", kept);
        else
            whole(start, "pad.start", 0, MAX_PAD_BUTTONS - 1, c.pad_start, kept);
    }

    void recording(const toml::table& t) {
        unknown_keys(t, "recording.", {"on", "keep"});
        flag(t.get("on"), "recording.on", c.recording);
        whole(t.get("keep"), "recording.keep", 1, MAX_RECORDINGS_KEPT, c.recordings_kept);
    }

    void online(const toml::table& t) {
        unknown_keys(t, "online.", {"input_delay"});
        whole(t.get("input_delay"), "online.input_delay", 0, 4, c.input_delay);
    }

    void trial(const toml::table& t) {
        unknown_keys(t, "trial.", {"length", "laps"});
        whole(t.get("length"), "trial.length", 1, 10, c.trial_length);
        whole(t.get("laps"), "trial.laps", 1, MAX_TRIAL_LAPS, c.trial_laps);
    }

    // A key or button bound to two actions: the one changed from its default
    // (the later one when both are) goes back to it, or, when that is taken
    // too, every binding does.
    void bound_twice() {
        const game_config defaults;
        binding* all[9];
        const binding* fallback[9];
        std::string names[9];
        for (int p = 0; p < 2; p++)
            for (int a = 0; a < DRIVING_ACTIONS; a++) {
                all[p * 4 + a] = &c.drive[p][a];
                fallback[p * 4 + a] = &defaults.drive[p][a];
                names[p * 4 + a] = "keys.player" + std::to_string(p + 1) + "." + action_names[a];
            }
        all[8] = &c.pause;
        fallback[8] = &defaults.pause;
        names[8] = "keys.pause";
        // Ctrl+P and P are one key to the race, which reads held keys.
        auto same = [](const binding& x, const binding& y) { return x.kind == y.kind && x.code == y.code; };
        for (int i = 1; i < 9; i++) {
            for (int j = 0; j < i; j++) {
                if (!same(*all[i], *all[j])) continue;
                const int moved = *all[i] == *fallback[i] ? j : i, other = moved == i ? j : i;
                const std::string was = binding_name(*all[moved]);
                *all[moved] = *fallback[moved];
                bool free = true;
                for (int k = 0; k < 9; k++) free = free && (k == moved || !same(*all[moved], *all[k]));
                if (!free) {
                    problem(names[moved] + ": '" + printable(was) + "' is bound to " + names[other] +
                            " too, and its default is taken; using the default keys for all");
                    for (int k = 0; k < 9; k++) *all[k] = *fallback[k];
                    return;
                }
                problem(names[moved] + ": '" + printable(was) + "' is bound to " + names[other] + " too; using '" +
                        binding_name(*all[moved]) + "'");
                break;
            }
        }
    }

    void file(const toml::table& t) {
        unknown_keys(t, "", {"race", "window", "keys", "pad", "recording", "trial", "online"});
        if (const toml::table* s = table(t, "race", "race")) race(*s);
        if (const toml::table* s = table(t, "window", "window")) window(*s);
        if (const toml::table* s = table(t, "keys", "keys")) keys(*s);
        if (const toml::table* s = table(t, "pad", "pad")) pad(*s);
        if (const toml::table* s = table(t, "recording", "recording")) recording(*s);
        if (const toml::table* s = table(t, "trial", "trial")) trial(*s);
        if (const toml::table* s = table(t, "online", "online")) online(*s);
        bound_twice();
        if (unknown > UNKNOWN_KEYS_SHOWN)
            problem("and " + std::to_string(unknown - UNKNOWN_KEYS_SHOWN) + " more unknown settings");
    }
};
}  // namespace

bool parse_toml(const std::string& text, toml::table& out, std::string& problem) {
    long long line = 1, column = 1;
    for (unsigned char ch : text) {
        if (ch >= 0x80) {
            problem = "line " + std::to_string(line) + ", column " + std::to_string(column) +
                      ": a byte that is not ASCII";
            return false;
        }
        column = ch == '\n' ? 1 : column + 1;
        line += ch == '\n';
    }
    toml::parse_result parsed = toml::parse(std::string_view(text));
    if (!parsed) {
        const toml::parse_error& e = parsed.error();
        problem = "line " + std::to_string(e.source().begin.line) + ", column " +
                  std::to_string(e.source().begin.column) + ": " + printable(std::string(e.description()), 120);
        return false;
    }
    out = std::move(parsed).table();
    return true;
}

game_config parse_config(const std::string& text, std::vector<std::string>& problems) {
    game_config c;
    toml::table doc;
    std::string problem;
    if (!parse_toml(text, doc, problem)) {
        problems.push_back(problem + "; using the defaults");
        return c;
    }
    reader r{c, problems};
    r.file(doc);
    return c;
}

game_config read_config(const std::string& path, FILE* err) {
    if (path.empty()) return game_config();
    std::string text, why;
    const std::string shown = printable(path, 200);
    if (!read_regular_file(path.c_str(), MAX_CONFIG_BYTES, text, why)) {
        // No file yet is the usual case, not a problem.
        if (why != "no such file" && err)
            std::fprintf(err, "chainball: settings %s: %s; using the defaults\n", shown.c_str(), why.c_str());
        return game_config();
    }
    std::vector<std::string> problems;
    game_config c = parse_config(text, problems);
    for (const std::string& p : problems)
        if (err) std::fprintf(err, "chainball: settings %s: %s\n", shown.c_str(), p.c_str());
    return c;
}

// ---- Writing -------------------------------------------------------------

std::string format_config(const game_config& c) {
    toml::table race{{"lengths", toml::array{c.chain_length[0], c.chain_length[1], c.chain_length[2]}},
                     {"laps", c.laps},
                     {"track", c.track},
                     {"music", c.music},
                     {"music_volume", c.music_volume},
                     {"effects_volume", c.effects_volume},
                     {"difficulty", difficulty_name(c.level)},
                     {"ghosts", c.ghosts},
                     {"off_road", c.off_road_slows ? "slows" : "free"}};
    toml::table window{{"scale", c.scale}, {"fullscreen", c.fullscreen}, {"minimap", c.minimap}};
    toml::table keys{{"pause", binding_name(c.pause)}};
    for (int p = 0; p < 2; p++) {
        toml::table player;
        for (int a = 0; a < DRIVING_ACTIONS; a++) player.insert(action_names[a], binding_name(c.drive[p][a]));
        keys.insert("player" + std::to_string(p + 1), std::move(player));
    }
    toml::table pad{{"choose", c.pad_choose}, {"back", c.pad_back}};
    if (c.pad_start < 0)
        pad.insert("start", "auto");
    else
        pad.insert("start", c.pad_start);
    toml::table recording{{"on", c.recording}, {"keep", c.recordings_kept}};
    toml::table trial{{"length", c.trial_length}, {"laps", c.trial_laps}};
    toml::table all{{"race", std::move(race)},
                    {"window", std::move(window)},
                    {"keys", std::move(keys)},
                    {"pad", std::move(pad)},
                    {"recording", std::move(recording)},
                    {"trial", std::move(trial)},
                    {"online", toml::table{{"input_delay", c.input_delay}}}};
    std::ostringstream out;
    out << "# Chainball's settings, kept by the full game (chainball --extras).\n\n" << all << "\n";
    return out.str();
}

bool write_config(const std::string& path, const game_config& c, FILE* err) {
    std::string why;
    if (path.empty()) {
        std::fprintf(err, "chainball: no home folder: HOME and XDG_CONFIG_HOME are not set to absolute "
                          "paths; settings are not kept\n");
        return false;
    }
    if (write_file_atomically(path, format_config(c), why)) return true;
    std::fprintf(err, "chainball: cannot save settings to %s: %s\n", printable(path, 200).c_str(), why.c_str());
    return false;
}

game_config merge_config_changes(const game_config& base, const game_config& mine, game_config theirs) {
    auto take = [](const auto& was, const auto& now, auto& out) {
        if (!(was == now)) out = now;
    };
    for (int r = 0; r < 3; r++) take(base.chain_length[r], mine.chain_length[r], theirs.chain_length[r]);
    take(base.laps, mine.laps, theirs.laps);
    take(base.track, mine.track, theirs.track);
    take(base.music, mine.music, theirs.music);
    take(base.scale, mine.scale, theirs.scale);
    take(base.fullscreen, mine.fullscreen, theirs.fullscreen);
    take(base.minimap, mine.minimap, theirs.minimap);
    take(base.music_volume, mine.music_volume, theirs.music_volume);
    take(base.effects_volume, mine.effects_volume, theirs.effects_volume);
    take(base.pad_choose, mine.pad_choose, theirs.pad_choose);
    take(base.pad_back, mine.pad_back, theirs.pad_back);
    take(base.pad_start, mine.pad_start, theirs.pad_start);
    take(base.level, mine.level, theirs.level);
    take(base.ghosts, mine.ghosts, theirs.ghosts);
    take(base.off_road_slows, mine.off_road_slows, theirs.off_road_slows);
    take(base.recording, mine.recording, theirs.recording);
    take(base.recordings_kept, mine.recordings_kept, theirs.recordings_kept);
    take(base.trial_length, mine.trial_length, theirs.trial_length);
    take(base.trial_laps, mine.trial_laps, theirs.trial_laps);
    take(base.input_delay, mine.input_delay, theirs.input_delay);
    // The bindings go as one: mixing two games' could bind a key twice.
    bool bindings_changed = !(base.pause == mine.pause);
    for (int p = 0; p < 2; p++)
        for (int a = 0; a < DRIVING_ACTIONS; a++) bindings_changed |= !(base.drive[p][a] == mine.drive[p][a]);
    if (bindings_changed) {
        theirs.pause = mine.pause;
        for (int p = 0; p < 2; p++)
            for (int a = 0; a < DRIVING_ACTIONS; a++) theirs.drive[p][a] = mine.drive[p][a];
    }
    return theirs;
}

save_result save_config_changes(const std::string& path, const game_config& base, const game_config& mine,
                                FILE* err) {
    if (path.empty()) return write_config(path, mine, err) ? save_result::written : save_result::failed;
    const int lock = lock_for_saving(path, "settings", "tried again on leaving the settings next", err);
    if (lock < 0) return save_result::locked;
    // Another game may have written since this one read: what it changed stays.
    const game_config theirs = read_config(path, nullptr);
    const bool written = write_config(path, merge_config_changes(base, mine, theirs), err);
    unlock_beside(lock);
    return written ? save_result::written : save_result::failed;
}
