// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-sim --cup: every track of a cup raced in turn with the same
// set-up and key script, the standings printed after each race.
#include <unistd.h>

#include <memory>

#include "config/cups.h"
#include "core/files.h"
#include "race/cup.h"
#include "sim/sim.h"
#include "track/track.h"

// A cup race that no racer ends is cut here: ten minutes of racing.
constexpr long long CUP_RACE_STEPS = 50LL * 60 * 10;

// The cup named `name` in the cup file (--cups, else filut/cups.toml beside
// the program); false after one line to `err`.
static bool find_cup(const sim_options& opt, cup_def& found, FILE* err) {
    const std::string file = opt.cups_file.empty() ? beside_program(cups_file_path()) : opt.cups_file;
    const track_known known = [](const std::string& name) {
        return track_name_fault(name).empty() && access(sim_track_path("", name).c_str(), R_OK) == 0;
    };
    std::vector<cup_def> cups;
    std::string why;
    if (!read_cups(file, known, cups, why)) {
        std::fprintf(err, "chainball-sim: %s\n", why.c_str());
        return false;
    }
    for (const cup_def& c : cups)
        if (c.name == opt.cup) {
            found = c;
            return true;
        }
    std::fprintf(err, "chainball-sim: no cup '%s' in %s\n", printable(opt.cup).c_str(), printable(file, 200).c_str());
    return false;
}

// One race: until every racer has finished, or the step limit.
static CupRaceResult race_cup_track(const sim_options& opt, const std::vector<sim_segment>& script) {
    Race race;
    std::unique_ptr<Track> track(new Track);
    sim_setup(opt, race, *track);
    const long long limit = opt.steps >= 0 ? opt.steps : CUP_RACE_STEPS;
    script_position at;
    while (race.step < limit && !race_over(race))
        race_step(race, *track, input_of_script_keys(next_script_keys(script, at)));
    return cup_race_result(race, *track, false);
}

static void print_cup_race(FILE* out, const CupRaceResult& result, const std::vector<CupRaceResult>& races) {
    for (int r = 0; r < RACERS; r++)
        if (result.place[r] > 0) std::fprintf(out, "place %d %d %lld\n", r, result.place[r], result.finished[r]);
    for (const CupStanding& s : cup_standings(races))
        std::fprintf(out, "standing %d %d %d %d %d\n", s.position, s.racer, s.race_points, s.total, s.gap);
}

int run_cup(const sim_options& opt, FILE* out, FILE* err) {
    cup_def cup;
    std::vector<sim_segment> script;
    if (!find_cup(opt, cup, err) || !read_sim_script(opt, script, err)) return 2;
    std::vector<CupRaceResult> races;
    for (size_t i = 0; i < cup.tracks.size(); i++) {
        sim_options race = opt;
        race.level_file = sim_track_path("", cup.tracks[i]);
        std::fprintf(out, "race %zu %s\n", i + 1, cup.tracks[i].c_str());
        races.push_back(race_cup_track(race, script));
        print_cup_race(out, races.back(), races);
    }
    std::fflush(out);
    return 0;
}
