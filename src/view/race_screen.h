// SPDX-License-Identifier: GPL-3.0-or-later
// The race screen: one screen for every race the game shows, a local race,
// a watched replay and an online race alike. What differs is its source
// (where the steps' input comes from and who steps the race), so the
// countdown, the pause, the HUD, the drawing, the race end and the results
// are written once. Owns, per race: its plan, its source, the open frame
// and the full game's pause; the race itself is `live_race` (view/view.h)
// for local races and replays, the network session's for online ones.
#pragma once

#include <functional>
#include <memory>
#include <cstdint>
#include <string>

#include "core/input.h"
#include "core/screen.h"
#include "race/race.h"
#include "replay/session.h"
#include "view/camera.h"

struct RacePlan;

// What the full game adds to a race (the time trial's clock and records,
// ghosts), owned by the screen that starts the race and shared with every
// race of the same plan ("Race again").
struct RaceAddons {
    virtual ~RaceAddons() = default;
    // After each set-up of a race of the plan.
    virtual void set_up(const RacePlan& plan, const Race& race, const Track& track, bool watching) = 0;
    // After the track is drawn, with the cameras the views are drawn with.
    virtual void under_balls(const Race& race, const ViewCameras& cams) const = 0;
    virtual void stepped(const Race& race, RaceInput input) = 0;  // after each race step
    virtual void over_views(const Race& race) const = 0;        // after the lap display
    // Whether the HUD shows the minimap (a setting of the full game).
    virtual bool minimap() const { return true; }
    // A cup's race: Escape asks whether to abandon it, and the results
    // lead back to the cup's standings.
    virtual bool cup_race() const { return false; }
};

// What a race is set up from: one value, handed down by the screen that
// starts it and kept by the race screen for "Race again".
struct RacePlan {
    RaceSetup setup = {{7, 2, 5}, 3, false, 0};
    int level_index = 0;      // the catalogue's track (the one --track file when given)
    std::string track_text;   // a watched replay's own track, raced in place of a file; "" otherwise
    std::string track_text_name;   // the name the replay gives that track
    std::shared_ptr<RaceAddons> addons;   // the full game's; null in the classic game
};
// The classic settings as a plan: race_settings and two_players.
RacePlan plan_from_settings();
// The file the plan's race loads, and the name its track goes by.
std::string plan_track_file(const RacePlan& plan);
std::string plan_track_name(const RacePlan& plan);

// Where a race screen's steps come from.
struct RaceSource {
    virtual ~RaceSource() = default;
    // Right after the screen set up `race` from `plan` (a replay puts its
    // recorded draws in place; a recording notes the set-up).
    virtual void set_up(const RacePlan& plan, Race& race, Track& track) = 0;
    // The input of the next step, from the frame's players or elsewhere.
    virtual RaceInput step_input(const FrameInput& in) = 0;
    // After each step with the input it took: true when the race ends here
    // (a watched race that was left, at the step where it was left).
    virtual bool stepped(const Race& race, RaceInput input) = 0;
    // Every racer has finished, or the results are due: what became of
    // its replay (nothing, when it was not recorded).
    virtual ReplayOutcome race_over(const Race& race) = 0;
    // The screen leaves the race (left, quit, or on to its results).
    virtual void leaving(const Race& race) = 0;
    // A watched replay: steps a frame and the watch keys count; no pause key.
    virtual bool watching() const { return false; }
    // The line the screen shows when the source ends the race ("" for none).
    virtual std::string end_line() const { return ""; }

    // An online race: the source steps its own race (rolling back as it
    // must, several steps a frame), and the screen draws the race as it
    // stands. Until the opponent is there the screen shows the source's
    // waiting picture; there is no pause, and the countdown is drawn into
    // running frames, as the network goes on under it.
    virtual bool steps_itself() const { return false; }
    virtual bool connected() const { return true; }
    // This frame's steps; `counting` while the countdown runs.
    virtual void advance(const FrameInput&, bool /*counting*/) {}
    virtual const Race& race() const;
    virtual const Track& track() const;
    virtual void draw_waiting() const {}
    // The views into the window and the lines over them.
    virtual void compose(const Race& race) const;
    // The race is over for this source: its end line stays on the screen
    // until the player leaves.
    virtual bool over() const { return false; }
    // When its countdown began (game ticks), for sources that start it themselves.
    virtual uint32_t countdown_start() const { return 0; }
    // F3 in an online race: the network line on or off.
    virtual void toggle_network_line() {}
    // Tab in an online race: a spectator shows the other player's view.
    virtual void switch_view() {}
};

// The players at the keyboard and pads, recorded when the run records.
std::unique_ptr<RaceSource> local_source();
// A replay being watched: each step's keys from its file; the race it
// ends where a left race was left. Its plan is the replay's settings on its
// track (the one it carries, when it does).
struct replay;
struct WatchedReplay;
std::unique_ptr<RaceSource> replay_source(const replay& watched);
RacePlan replay_plan(const WatchedReplay& watched);

// Where a race screen reports, to the screen that opened it, why a race
// ended without its results (a watched race that was left).
using RaceReport = std::function<void(const std::string& line)>;

// A race screen for `plan`, driven by `source` (the local players when
// null). The race is set up when the screen is first entered.
ScreenPtr make_race_screen(const RacePlan& plan, std::unique_ptr<RaceSource> source = nullptr,
                           RaceReport report = nullptr);

// The screen of an online race (view/online.h makes its source).
ScreenPtr make_online_race_screen(std::unique_ptr<RaceSource> source);

// A race screen over the race `live_race` holds already (set up by other
// means than a plan: the tests and benchmarks build races by hand). It
// does no set-up of its own; the plan serves "Race again".
ScreenPtr make_race_screen_as_it_stands(const RacePlan& plan);

// The full game's results, after every kind of race: the finishing order of
// `race`, the saved replay's line, "Race again" (the same plan, raced by the
// players), "Next track" and "Menu". Escape goes back to the screen the
// race was opened from.
ScreenPtr make_results_screen(const RacePlan& plan, const Race& race, const ReplayOutcome& replay_written);
