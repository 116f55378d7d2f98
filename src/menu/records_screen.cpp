// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's Records screen: the best lap and race of each track,
// chain length and laps under the off-road rule of the settings (each
// rule's records are kept apart), scrolled with Up and Down.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "io/assets.h"
#include "io/media.h"
#include "core/state.h"
#include "draw/draw.h"
#include "menu/cup.h"
#include "menu/menu.h"
#include "menu/trial.h"
#include "race/race.h"
#include "track/track.h"

namespace {

// The cups' best places and total times, under a heading of their own.
std::vector<std::string> cup_record_lines() {
    std::vector<std::string> lines;
    for (const cup_record& e : read_cup_records()) {
        if (lines.empty()) lines.push_back("Cups: cup, drivers, length, laps, place, time");
        snprintf(label_buffer, sizeof label_buffer, "%-14.14s %-7s %2d %2d %3s %9s", e.cup.c_str(),
                 difficulty_label(e.difficulty), e.length, e.laps, place_word(e.position),
                 e.steps > 0 ? race_time(e.steps).c_str() : "-");
        lines.push_back(label_buffer);
    }
    return lines;
}

class RecordsScreen : public Screen {
public:
    explicit RecordsScreen(FullGameRun& run) : run_(run) {}
    int kind() const override { return SCREEN_RECORDS; }
    void enter() override {
        resize_window(500, 500);
        sha_of_.clear();   // the files may have changed since the last visit
        reload_records(run_);
        cup_lines_ = cup_record_lines();
    }
    ScreenChange frame() override {
        ScreenChange next;
        auto on_key = [&next](SDLKey key) {
            if (key == SDLK_ESCAPE || key == SDLK_RETURN) next = go_back();
        };
        // Up and Down move the cursor from 1: that is the scroll.
        auto scroll = [this] {
            top_ += cursor_ - 1;
            cursor_ = 1;
        };
        if (menu_pass(cursor_, [this] { draw(); }, on_key, 2, scroll)) return quit_game();
        return next;
    }

private:
    void draw() {
        list_band();
        const bool slows = race_settings.off_road == OFF_ROAD_SLOWS;
        const std::string heading = std::string("Records (Off-road: ") + off_road_label(race_settings.off_road) +
                                    "): track, length, laps, lap, race";
        text_white(screen, 40, 130, heading.c_str(), small_font);
        const records& kept = run_.kept;
        std::vector<const record_entry*> laps;
        for (const record_entry& e : kept.entries)
            if (e.kind == record_kind::lap && e.off_road_slows == slows) laps.push_back(&e);
        std::sort(laps.begin(), laps.end(), [](const record_entry* a, const record_entry* b) {
            return a->track != b->track     ? a->track < b->track
                   : a->length != b->length ? a->length < b->length
                                            : a->laps < b->laps;
        });
        if (laps.empty() && cup_lines_.empty())
            text_white(screen, 40, 160, "No records yet: race a time trial or a cup.", small_font);
        // The cups' lines follow the tracks' in the one scrolled list.
        const int rows = (int)(laps.size() + cup_lines_.size());
        top_ = std::max(0, std::min(top_, rows - 1));
        for (int i = top_, row = 0; i < rows && row < 16; i++, row++) {
            if (i >= (int)laps.size()) {
                text_white(screen, 40, 160 + 18 * row, cup_lines_[i - laps.size()].c_str(), small_font);
                continue;
            }
            const record_entry& e = *laps[i];
            const record_entry* race =
                find_record(kept, e.track, e.laps, e.length, record_kind::race, e.off_road_slows);
            // Each listed track's SHA-256, read once per visit rather than at every frame.
            if (!sha_of_.count(e.track)) sha_of_[e.track] = file_sha256(level_file_path(e.track.c_str()));
            const std::string& sha = sha_of_[e.track];
            // A time of this track's version shows only when its replay holds it.
            auto stands = [this, &sha](const record_entry* r) {
                return r && (r->track_sha256 != sha || record_trusted(run_, *r));
            };
            const bool lap_stands = stands(&e), race_stands = stands(race);
            snprintf(label_buffer, sizeof label_buffer, "%-14.14s %2d %2d %9s %9s%s", e.track.c_str(), e.length,
                     e.laps, lap_stands ? race_time(e.steps).c_str() : "-",
                     race_stands ? race_time(race->steps).c_str() : "-", e.track_sha256 != sha ? " old" : "");
            text_white(screen, 40, 160 + 18 * row, label_buffer, small_font);
        }
        text_white(screen, 40, 460, "Up/Down scroll, Escape back. old: an older track version", small_font);
    }

    FullGameRun& run_;
    std::vector<std::string> cup_lines_;   // read at each visit
    int cursor_ = 1;
    int top_ = 0;
    std::map<std::string, std::string> sha_of_;
};

}  // namespace

ScreenPtr make_records_screen(FullGameRun& run) { return ScreenPtr(new RecordsScreen(run)); }
