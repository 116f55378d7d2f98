// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's Replays screen: the replays kept in the user's folder,
// newest first; Enter watches one, Delete removes it, E exports a copy
// that carries its track.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <SDL/SDL_gfxPrimitives.h>

#include "io/assets.h"
#include "core/files.h"
#include "io/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "race/race.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/race_screen.h"

namespace {

struct ListedReplay {
    std::string name;
    bool read = false;
    std::string line;   // track, date, players, off-road rule, winner, time
};
constexpr int REPLAYS_SHOWN = 14;

class ReplaysScreen : public Screen {
public:
    explicit ReplaysScreen(FullGameRun& run) : run_(run) { list(); }
    int kind() const override { return SCREEN_REPLAYS; }
    void enter() override { resize_window(500, 500); }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [this, &next](SDLKey key) {
            if (next.kind == ScreenChange::STAY) next = on_list_key(key);
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, std::max(0, (int)listed_.size() - 1))) return quit_game();
        return next;
    }

private:
    void list();
    void describe(ListedReplay& l) const;
    void draw();
    ScreenChange watch(const ListedReplay& l);
    void export_replay(const ListedReplay& l);
    ScreenChange on_list_key(SDLKey key);
    void on_delete_key(SDLKey key);
    void delete_replay(const std::string& name);

    FullGameRun& run_;
    std::vector<ListedReplay> listed_;
    int cursor_ = 0;
    int top_ = 0;
    std::string message_;   // the last line the screen showed
    std::string to_delete_;   // the replay a Delete asks about, until confirmed or kept
};

constexpr int MESSAGE_CHARS = 65;   // of the small font (7 px) from x 30 to the window's edge
constexpr size_t LINE_CHARS = 63;   // of a listed replay, inside its lit box (x 26 to 474)

}  // namespace

std::vector<std::string> fit_message(const std::string& message, size_t width) {
    if (message.size() <= width) return {message};
    // The start says what happened; the end holds a file's name or the cause.
    const std::string rest = message.substr(width);
    if (rest.size() <= width || width < 4) return {message.substr(0, width), rest.substr(0, width)};
    return {message.substr(0, width), "..." + rest.substr(rest.size() - (width - 3))};
}

namespace {

void ReplaysScreen::list() {
    listed_.clear();
    std::string why;
    const std::string dir = replays_folder();
    struct stat st;
    if (dir.empty() || lstat(dir.c_str(), &st) != 0) {
        message_ = "No replays yet.";
        return;
    }
    if (!S_ISDIR(st.st_mode)) {
        say(message_, "replays folder " + printable(dir, 200) + " is not a folder");
        return;
    }
    for (const std::string& n : replay_files(dir, KEPT_REPLAYS * 2, why)) listed_.push_back(ListedReplay{n, false, ""});
    if (!why.empty()) say(message_, "cannot list replays in " + printable(dir, 200) + ": " + why);
    else if (listed_.empty()) message_ = "No replays yet.";
}

// "2026-01-02 03:04" from a name the game gave, "YYYYmmdd-HHMMSS-TRACK";
// blank for any other name, which says nothing of when it was raced.
static std::string date_of_name(const std::string& n) {
    static const char shape[] = "dddddddd-dddddd-";
    bool dated = n.size() >= sizeof shape - 1;
    for (size_t i = 0; dated && i < sizeof shape - 1; i++)
        dated = shape[i] == 'd' ? n[i] >= '0' && n[i] <= '9' : n[i] == shape[i];
    if (!dated) return std::string(16, ' ');
    return n.substr(0, 4) + "-" + n.substr(4, 2) + "-" + n.substr(6, 2) + " " + n.substr(9, 2) + ":" + n.substr(11, 2);
}

// Reads a listed replay the first time it is shown.
void ReplaysScreen::describe(ListedReplay& l) const {
    if (l.read) return;
    l.read = true;
    replay r;
    std::string bytes, why;
    const std::string path = replays_folder() + "/" + l.name;
    if (!read_regular_file(path.c_str(), MAX_REPLAY_BYTES, bytes, why) || !parse_replay(bytes, r, why)) {
        l.line = printable(l.name, 24) + ": " + why;
        return;
    }
    const std::string date = date_of_name(l.name);
    char s[160];
    std::snprintf(s, sizeof s, "%-12.12s %s %dP Off-road %-5s %s %s", r.track_name.c_str(), date.c_str(),
                  r.two_player ? 2 : 1, off_road_label(r.off_road),
                  r.result.left ? "left" : ("P" + std::to_string(r.result.winner) + " won").c_str(),
                  race_time(r.result.steps).c_str());
    l.line = s;
}

void ReplaysScreen::draw() {
    list_band();
    text_white(screen, 30, 130, "Replays: Enter watch, Delete remove, E export, Esc back", small_font);
    top_ = std::max(0, std::min(top_, std::max(0, cursor_ - REPLAYS_SHOWN + 1)));
    if (cursor_ < top_) top_ = cursor_;
    for (int i = top_, row = 0; i < (int)listed_.size() && row < REPLAYS_SHOWN; i++, row++) {
        describe(listed_[i]);
        if (i == cursor_)
            boxRGBA(screen, 26, (Sint16)(149 + 20 * row), 474, (Sint16)(166 + 20 * row), colour_button_lit.r,
                    colour_button_lit.g, colour_button_lit.b, 255);
        text_white(screen, 30, 150 + 20 * row, listed_[i].line.substr(0, LINE_CHARS).c_str(), small_font);
    }
    const std::vector<std::string> lines = fit_message(message_, MESSAGE_CHARS);
    for (size_t k = 0; k < lines.size() && !message_.empty(); k++)
        text_white(screen, 30, 460 - 18 * (int)(lines.size() - 1 - k), lines[k].c_str(), small_font);
}

// The replay's own race, on its track with its settings. A race that was
// left comes back here, saying so.
ScreenChange ReplaysScreen::watch(const ListedReplay& l) {
    WatchedReplay w;
    if (!load_replay_to_watch(replays_folder() + "/" + l.name, false, "", w)) {
        message_ = "cannot watch " + printable(l.name, 30) + " (see the terminal)";
        return stay_on_screen();
    }
    message_.clear();
    RacePlan plan = replay_plan(w);
    plan.addons = make_race_addons(run_, false);
    return open_screen(make_race_screen(plan, replay_source(w.rep), [this](const std::string& line) { message_ = line; }));
}

// A copy that carries its track, in the data folder's exported/.
void ReplaysScreen::export_replay(const ListedReplay& l) {
    replay r;
    std::string bytes, why;
    const std::string home = user_folder(UserFolder::data);
    if (!read_regular_file((replays_folder() + "/" + l.name).c_str(), MAX_REPLAY_BYTES, bytes, why) ||
        !parse_replay(bytes, r, why)) {
        say(message_, "cannot export " + printable(l.name, 100) + ": " + why);
        return;
    }
    if (r.track_text.empty()) {
        std::string track_bytes;
        if (read_regular_file(level_file_path(r.track_name.c_str()).c_str(), MAX_LEVEL_FILE_BYTES, track_bytes, why) &&
            sha256_hex(track_bytes) == r.track_sha256)
            r.track_text = track_bytes;
    }
    const std::string out = home + "/exported/" + l.name;
    if (write_file_atomically(out, format_replay(r), why)) message_ = "Exported to " + printable(out, 200);
    else say(message_, "cannot export to " + printable(out, 200) + ": " + why);
}

void ReplaysScreen::delete_replay(const std::string& name) {
    const auto at = std::find_if(listed_.begin(), listed_.end(), [&name](const ListedReplay& l) { return l.name == name; });
    const std::string path = replays_folder() + "/" + name;
    if (unlink(path.c_str()) == 0) {
        message_ = "Deleted " + printable(name, 100);
        if (at != listed_.end()) listed_.erase(at);
    } else {
        say(message_, "cannot delete " + printable(path, 200) + ": " + std::strerror(errno));
    }
}

// A Delete waits for its answer: Enter or Y deletes, Escape or N keeps it;
// other keys are not an answer.
void ReplaysScreen::on_delete_key(SDLKey key) {
    if (key == SDLK_RETURN || key == SDLK_y) {
        delete_replay(to_delete_);
    } else if (key == SDLK_ESCAPE || key == SDLK_n) {
        message_ = "Kept " + printable(to_delete_, 100);
    } else {
        return;
    }
    to_delete_.clear();
}

ScreenChange ReplaysScreen::on_list_key(SDLKey key) {
    if (!to_delete_.empty()) {
        on_delete_key(key);
        return stay_on_screen();
    }
    const int i = cursor_;
    const bool on_entry = i >= 0 && i < (int)listed_.size();
    if (key == SDLK_ESCAPE) return go_back();
    if (!on_entry) return stay_on_screen();
    if (key == SDLK_RETURN) return watch(listed_[i]);
    if (key == SDLK_e) export_replay(listed_[i]);
    if (key == SDLK_DELETE) {
        to_delete_ = listed_[i].name;
        message_ = "Delete " + printable(to_delete_, 100) + "? Enter/Y deletes, Esc/N keeps it";
    }
    return stay_on_screen();
}

}  // namespace

ScreenPtr make_replays_screen(FullGameRun& run) { return ScreenPtr(new ReplaysScreen(run)); }
