// SPDX-License-Identifier: GPL-3.0-or-later
// One race frame. Its order is the order of what a player sees and of the
// race rules, so it is kept exactly:
//  1. record the frame start; clear both views to black;
//  2. read the frame's input once: the held keys for driving and the pause
//     (a replay being watched drives from its file instead);
//  3. one race step (race/step.cpp): move the racers (the computer drivers
//     among them), draw the track into the views, slow the racers on
//     slowing cells, then racer by racer the finish line and, ball by ball,
//     the chain step followed at once by the ball's drawing; then each
//     checkpoint's marker (showing the touch of the step before) followed
//     by its touch test, and the winner; with its input recorded when the
//     run records;
//  4. the lap display, which also puts view 2 beside view 1 (and in the
//     full game the clock);
//  5. the countdown overlay (the first four seconds of a race);
//  6. the pause (Ctrl+P) with its overlay (the full game's own pause);
//  7. the race-end screen once every racer has finished (in the full game
//     the results, once the human players have: a screen of their own);
//  8. the frame's own events: the close button quits, Escape leaves;
//     a race left or over is written when the run records replays;
//  9. wait out the 20 ms from the frame start, and only then flip.
// Enlarged or fullscreen, showing the picture takes time of its own; the
// next frame's 20 ms then count from the end of this frame's 20 ms (see
// show_paced_frame), so that showing never slows the race.
// An overlay leaves its frame open: the screen loop runs the overlay's
// passes, and the frame goes on from where it stopped once it closes.
#include "view/race_screen.h"

#include <cstdio>
#include <cstring>

#include "io/assets.h"
#include "io/events.h"
#include "io/media.h"
#include "io/present.h"
#include "core/state.h"
#include "base/clock.h"
#include "draw/draw.h"
#include "replay/replay.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/race_sounds.h"
#include "view/view.h"

const Race& RaceSource::race() const { return live_race; }
const Track& RaceSource::track() const { return loaded_track; }
void RaceSource::compose(const Race& race) const { draw_lap_display(race); }

Race live_race = new_race();   // set up by every race screen
Uint32 race_start_ticks = 0;   // set by every race screen

RacePlan plan_from_settings() {
    RacePlan plan;
    for (int i = 0; i < RACERS; i++) plan.setup.lengths[i] = race_settings.chain_length[i];
    plan.setup.laps = race_settings.laps;
    plan.setup.two_players = two_players;
    plan.setup.difficulty = race_settings.difficulty;
    plan.setup.off_road = full_game ? race_settings.off_road : OFF_ROAD_FREE;   // the classic game races Free
    plan.level_index = race_settings.level_index;
    return plan;
}

std::string plan_track_file(const RacePlan& plan) { return level_file_at(plan.level_index); }

std::string plan_track_name(const RacePlan& plan) {
    if (!plan.track_text.empty()) return plan.track_text_name;
    if (track_file_override) return level_name_of_file(track_file_override).substr(0, LEVEL_NAME_LEN - 1);
    return level_name_at(plan.level_index);
}

namespace {

// The players at the keyboard and pads; each race recorded when the run
// records (--record, or the full game's setting).
struct LocalSource : RaceSource {
    void set_up(const RacePlan& plan, Race& race, Track& track) override {
        record_race_start(race, track, plan_track_name(plan), plan_track_file(plan), plan.track_text);
    }
    RaceInput step_input(const FrameInput& in) override { return in.drive; }
    bool stepped(const Race& race, RaceInput input) override {
        record_race_step(race, input);
        return false;
    }
    ReplayOutcome race_over(const Race& race) override { return record_race_end(race); }
    void leaving(const Race& race) override { record_race_end(race); }
};

// A replay being watched: each step's keys from its file, whatever the
// players hold. A race that was left ends where it was left.
struct ReplaySource : RaceSource {
    explicit ReplaySource(const replay& r) : watched(r) {}
    void set_up(const RacePlan&, Race& race, Track& track) override {
        apply_race_draws(watched, race, track);
        at = script_position();
    }
    RaceInput step_input(const FrameInput&) override {
        script_position next = at;
        return input_of_script_keys(next_script_keys(watched.keys, next));
    }
    bool stepped(const Race& race, RaceInput) override {
        next_script_keys(watched.keys, at);
        return watched.result.left && race.step >= watched.result.steps;
    }
    ReplayOutcome race_over(const Race&) override { return {}; }   // not recorded again
    void leaving(const Race&) override {}
    bool watching() const override { return true; }
    std::string end_line() const override {
        char t[24];
        format_race_time(watched.result.steps, t, sizeof t);
        return "The race was left here, at " + std::string(t);
    }
    replay watched;
    script_position at;
};

// The next racer taking part after `r`, round the three.
int next_racer(const Race& race, int r) {
    for (int i = 1; i <= RACERS; i++)
        if (racer_length(race, (r + i) % RACERS) > 0) return (r + i) % RACERS;
    return r;
}

// In a two-player race the opaque copy of view 2 (compose_views) covers
// the window from x = view_width to its right and bottom edges, so
// whatever view 1 draws there is never seen. Clipping the window to view 1
// while it is cleared and drawn saves that work and shows the same picture.
// Returns false, changing nothing, when the copy would not cover the rest.
bool clip_to_view_1(const Race& race, SDL_Rect& saved) {
    const int width = race.view_width;
    if (!race.two_players || !screen || !second_view) return false;
    if (second_view->flags & (SDL_SRCALPHA | SDL_SRCCOLORKEY)) return false;
    if (width < 0 || width + second_view->w < screen->w || second_view->h < screen->h) return false;
    SDL_GetClipRect(screen, &saved);
    const int right = saved.x + saved.w < width ? saved.x + saved.w : width;
    SDL_Rect view_1 = saved;
    view_1.w = (Uint16)(right > saved.x ? right - saved.x : 0);
    SDL_SetClipRect(screen, &view_1);
    return true;
}

// SDL_FillRect(s, nullptr, 0): the clip rectangle's rows all become zero
// bytes, colour 0 in any pixel format. Written with memset, which leaves the
// rows in the cache for the drawing that follows; SDL's fill writes past it
// and is several times slower.
void clear_view(SDL_Surface* s) {
    if (!s) return;
    if (SDL_LockSurface(s) != 0) {
        SDL_FillRect(s, nullptr, 0);
        return;
    }
    const SDL_Rect& c = s->clip_rect;
    const size_t bytes = (size_t)c.w * s->format->BytesPerPixel;
    Uint8* row = static_cast<Uint8*>(s->pixels) + c.y * s->pitch + c.x * s->format->BytesPerPixel;
    for (int y = 0; y < c.h; y++, row += s->pitch) std::memset(row, 0, bytes);
    SDL_UnlockSurface(s);
}

// How a race screen draws a race into the views: the track with what the
// plan's addons draw under the balls (a ghost), the balls, the markers;
// view 1 follows the racer a watcher chose.
// In the full game the views lead in the direction of travel (`look`); an
// online race, which enters no set-up here, keeps the race's own cameras.
struct ScreenDrawing : RaceDrawing {
    const RaceAddons* addons = nullptr;
    int follow = 0;
    LookAhead* look = nullptr;   // null: the race's own cameras
    ViewCameras cams = {};       // this step's, taken when the track is drawn
    void track(const Race& race, const Track& t) override {
        cams = look && full_game ? lead_cameras(*look, race, t, follow) : race_cameras(race, t, follow);
        draw_track(race, t, cams);
        if (addons) addons->under_balls(race, cams);
    }
    void ball(const Race& race, int r, int b) override { draw_ball(race, r, b, cams); }
    void marker(const Race& race, const Track& t, int k) override { draw_checkpoint_marker(race, t, k, cams); }
};

// A race stepped elsewhere, drawn as it stands in a step's order: the
// track, the balls, the checkpoint markers.
void draw_race_as_it_stands(RaceDrawing& drawing, const Race& race, const Track& track) {
    drawing.track(race, track);
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++) drawing.ball(race, r, b);
    for (int k = 0; k < track.checkpoint_count && k < MAX_CHECKPOINTS; k++) drawing.marker(race, track, k);
}

constexpr uint32_t COUNTDOWN_MS = 4000;


class RaceScreen : public Screen {
public:
    RaceScreen(const RacePlan& plan, std::unique_ptr<RaceSource> source, RaceReport report, bool set_up)
        : plan_(plan), source_(source ? std::move(source) : local_source()), report_(std::move(report)),
          set_up_race_(set_up) {}
    ~RaceScreen() override { surface_loop(false); }

    int kind() const override { return source_->steps_itself() ? SCREEN_ONLINE : SCREEN_RACE; }
    void enter() override;
    ScreenChange frame() override;
    bool frame_open() const override { return open_part_ != FRAME_DONE; }

private:
    // Where an open frame goes on when its overlay closes.
    enum FramePart { FRAME_DONE, IN_COUNTDOWN, IN_PAUSE, IN_RACE_END };

    void begin_frame();
    void online_frame();
    void after_countdown();
    void after_pause();
    void finish_frame();
    bool step_once(RaceInput input, RaceDrawing* drawing);
    void run_on_undrawn();
    void draw_watch_line() const;
    void check_full_pause();
    bool in_cup() const;
    void leave(ScreenChange change);
    void listen(const Race& race, const Track& track);
    void listen_countdown(uint32_t since);

    RacePlan plan_;
    std::unique_ptr<RaceSource> source_;
    RaceReport report_;
    bool set_up_race_;           // false: the race live_race holds is raced as it stands
    bool entered_ = false;
    FramePart open_part_ = FRAME_DONE;
    FrameInput input_;           // this frame's
    bool pause_held_before_ = false;
    int pause_cursor_ = 0;       // the full game's pause: Continue or Leave race
    bool leave_asked_ = false;   // Escape in a cup's race: the pause asks whether to abandon it
    int watch_speed_ = 1;        // steps a frame while watching: 1, 2, 4 or 8
    bool watch_pause_asked_ = false;
    ScreenDrawing drawing_;      // its follow: the racer view 1 follows while watching
    RaceHud hud_;                // the full game's HUD and leading cameras
    std::string end_line_;       // why the source ended the race, for the opener
    ReplayOutcome saved_replay_;   // the replay written as the race ended, or why not
    ScreenChange next_;          // what the frame asks once it is done
    RaceListener listener_;      // the effects the race calls for
};

// The full game's effects of the race's latest steps, and the slowing
// cells' rumble while a player is on one.
void RaceScreen::listen(const Race& race, const Track& track) {
    if (!effects_loaded()) return;
    const SoundCues cues = hear_race(listener_, race, track);
    for (int i = 0; i < cues.count; i++) play_effect(cues.cue[i].effect, cues.cue[i].loudness);
    surface_loop(player_on_slowing_cell(race, track) && next_.kind == ScreenChange::STAY);
}

// A beep as each countdown label shows, `since` ms from the countdown's start.
void RaceScreen::listen_countdown(uint32_t since) {
    SoundCue cue;
    if (effects_loaded() && since < COUNTDOWN_MS && hear_countdown(listener_, countdown_label_index(since), cue))
        play_effect(cue.effect, cue.loudness);
}

void RaceScreen::enter() {
    if (entered_) return;
    entered_ = true;
    if (source_->steps_itself()) {   // online: the two-player geometry, this player's view only
        resize_window(400, 500);
        forget_paced_frame();
        return;
    }
    const std::string file = plan_track_file(plan_);
    if (set_up_race_) {
        resize_window(plan_.setup.two_players ? 800 : 500, 500);
        if (!plan_.track_text.empty()) {
            // Named in the loader's messages as the replay names it.
            const std::string own = plan_.track_text_name + " (embedded in the replay)";
            setup_race_text(live_race, loaded_track, setup_random, plan_.setup, own.c_str(), plan_.track_text);
        } else {
            setup_race(live_race, loaded_track, setup_random, plan_.setup, file.c_str());
        }
    }
    source_->set_up(plan_, live_race, loaded_track);
    if (plan_.addons) plan_.addons->set_up(plan_, live_race, loaded_track, source_->watching());
    if (set_up_race_) race_start_ticks = game_ticks();
    drawing_.addons = plan_.addons.get();
    listen(live_race, loaded_track);
    hud_race_set_up(hud_, live_race, loaded_track);
    drawing_.look = &hud_.look;
    forget_paced_frame();
}

void RaceScreen::leave(ScreenChange change) {
    surface_loop(false);
    if (next_.kind == ScreenChange::STAY || change.kind == ScreenChange::QUIT) next_ = std::move(change);
}

// One race step; true when the source ends the race here.
bool RaceScreen::step_once(RaceInput input, RaceDrawing* drawing) {
    race_step(live_race, loaded_track, input, drawing);
    listen(live_race, loaded_track);
    const bool ended = source_->stepped(live_race, input);
    if (full_game) note_splits(hud_.splits, live_race, loaded_track);
    if (ended) {
        // Moving the start on ends a countdown still running, as Escape does.
        race_start_ticks = game_ticks() + 4000;
        end_line_ = source_->end_line();
        leave(go_back());
    }
    if (plan_.addons) plan_.addons->stepped(live_race, input);
    return ended;
}

// The players are done: the racers still out drive on, undrawn and with no
// keys held (a watched replay's keys go on from its file), until every racer
// has finished or RUN_ON_STEPS more steps have run. The steps are recorded
// like any other, so the replay ends where the results do.
void RaceScreen::run_on_undrawn() {
    const long long cap = live_race.step + RUN_ON_STEPS;
    while (!race_over(live_race) && live_race.step < cap)
        if (step_once(source_->step_input(FrameInput()), nullptr)) return;
}

void RaceScreen::draw_watch_line() const {
    if (!source_->watching()) return;
    snprintf(label_buffer, sizeof label_buffer, "Replay %dx  view: Player %d", watch_speed_, drawing_.follow + 1);
    text_white(screen, 10, 480, label_buffer, small_font);
    text_white(screen, 280, 480, "F faster Tab view Space pause", small_font);
}

// An online race's frame: the network and the steps first, then the race as
// it stands, this player's view, the lines, the countdown over it.
void RaceScreen::online_frame() {
    input_ = held_frame_input(false);
    const uint32_t since = game_ticks() - source_->countdown_start();
    source_->advance(input_, source_->connected() && since < COUNTDOWN_MS);
    if (source_->connected()) {
        listen_countdown(game_ticks() - source_->countdown_start());
        listen(source_->race(), source_->track());
    }
    if (!source_->connected()) {
        source_->draw_waiting();
    } else {
        const Race& race = source_->race();
        clear_view(screen);
        clear_view(second_view);
        draw_race_as_it_stands(drawing_, race, source_->track());
        draw_racer_badges(race, drawing_.cams);
        source_->compose(race);
        const uint32_t counted = game_ticks() - source_->countdown_start();   // the race may have begun just now
        if (counted < COUNTDOWN_MS) text_white(screen, screen->w / 2 - 30, 240, countdown_label_at(counted), large_font);
    }
    FrameInput events;
    race_events(events, false);
    if (events.follow_next) source_->switch_view();
    if (events.quit) leave(quit_game());
    if (events.leave) leave(go_back());
    if (events.network_line) source_->toggle_network_line();
    if (next_.kind != ScreenChange::STAY) {
        source_->leaving(source_->race());
        return;
    }
    show_paced_frame(20, true);
}

// 1 to 5.
void RaceScreen::begin_frame() {
    start_paced_frame();
    forget_overlay_picture();
    if (source_->steps_itself()) {
        online_frame();
        return;
    }
    SDL_Rect saved_clip;
    const bool clipped = clip_to_view_1(live_race, saved_clip);
    clear_view(screen);
    clear_view(second_view);

    listen_countdown(game_ticks() - race_start_ticks);
    input_ = held_frame_input(live_race.two_players);
    bool ended = step_once(source_->step_input(input_), &drawing_);
    // Fast-forward: more steps, undrawn, while a replay is watched.
    for (int extra = 1; extra < watch_speed_ && source_->watching() && !ended && !race_over(live_race); extra++)
        ended = step_once(source_->step_input(input_), nullptr);
    draw_racer_badges(live_race, drawing_.cams);
    if (clipped) SDL_SetClipRect(screen, &saved_clip);

    draw_lap_display(live_race);   // composes the two views in two-player mode
    if (full_game)
        draw_full_hud(hud_, live_race, loaded_track, countdown_running(), !plan_.addons || plan_.addons->minimap());
    if (plan_.addons) plan_.addons->over_views(live_race);
    draw_watch_line();
    if (countdown_running()) {
        freeze_frame();
        open_part_ = IN_COUNTDOWN;
        return;
    }
    after_countdown();
}

// The full game's pause opens on a press of its key (not while it is held
// on from before), or on a pad's Start or bound button.
void RaceScreen::check_full_pause() {
    const bool pressed = input_.pause_held && !pause_held_before_;
    pause_held_before_ = input_.pause_held;
    if (input_.pause || pressed || leave_asked_) open_full_pause(pause_cursor_);
    leave_asked_ = false;
}

bool RaceScreen::in_cup() const { return plan_.addons && plan_.addons->cup_race(); }

// 6 on.
void RaceScreen::after_countdown() {
    if (full_game) {
        check_full_pause();
    } else {
        // While Ctrl is held only P counts; everything else in the queue is dropped.
        if (input_.ctrl_held) race_events(input_, true);
        if (input_.pause) {
            freeze_frame();
            paused = true;
        }
    }
    // Space while watching, from the frame before: its events are read at its end.
    if (watch_pause_asked_ && !paused) {
        freeze_frame();
        paused = true;
        pause_cursor_ = 0;
    }
    watch_pause_asked_ = false;
    if (paused) {
        surface_loop(false);
        open_part_ = IN_PAUSE;
        return;
    }
    after_pause();
}

// 7 on.
void RaceScreen::after_pause() {
    const bool going = next_.kind == ScreenChange::STAY && game_screen == SCREEN_RACE;
    if (full_game) {
        // A race left from the pause shows no results.
        if (going && results_due(live_race)) {
            run_on_undrawn();
            // The race ends for its recording here: nothing steps under the
            // results, so the file is written now.
            saved_replay_ = source_->race_over(live_race);
            freeze_frame();
            finish_frame();
            if (next_.kind == ScreenChange::STAY)
                next_ = replace_screen(make_results_screen(plan_, live_race, saved_replay_));
            return;
        }
        finish_frame();
        return;
    }
    if (race_over(live_race)) {
        source_->race_over(live_race);
        freeze_frame();
        open_race_end();
        open_part_ = IN_RACE_END;
        return;
    }
    finish_frame();
}

// 8 and 9.
void RaceScreen::finish_frame() {
    FrameInput events;
    race_events(events, false);
    if (events.quit) {
        game_screen = SCREEN_QUIT;
        leave(quit_game());
    }
    if (events.leave && in_cup()) leave_asked_ = true;
    else if (events.leave) leave(go_back());
    if (source_->watching()) {
        if (events.faster) watch_speed_ = watch_speed_ >= 8 ? 1 : watch_speed_ * 2;
        if (events.follow_next) drawing_.follow = next_racer(live_race, drawing_.follow);
        watch_pause_asked_ = events.watch_pause;
    }
    // The classic overlays leave by the screen value.
    if (game_screen == SCREEN_QUIT) leave(quit_game());
    if (game_screen == SCREEN_MENU) leave(go_back());
    if (game_screen == SCREEN_LOAD) leave(replace_screen(make_race_screen(plan_from_settings())));
    if (next_.kind != ScreenChange::STAY) source_->leaving(live_race);
    show_paced_frame(20, next_.kind == ScreenChange::STAY);
}

ScreenChange RaceScreen::frame() {
    switch (open_part_) {
        case FRAME_DONE: begin_frame(); break;
        case IN_COUNTDOWN:
            listen_countdown(game_ticks() - race_start_ticks);
            countdown_pass();
            if (game_screen == SCREEN_QUIT) leave(quit_game());
            // Escape in a cup's countdown ends it and asks, as in the race.
            if (game_screen == SCREEN_MENU && in_cup()) {
                game_screen = SCREEN_RACE;
                leave_asked_ = true;
            }
            if (countdown_running()) break;
            open_part_ = FRAME_DONE;
            after_countdown();
            break;
        case IN_PAUSE:
            if (full_game) {
                if (full_pause_pass(pause_cursor_, in_cup())) leave(go_back());
            } else {
                pause_pass();
            }
            if (paused) break;
            open_part_ = FRAME_DONE;
            after_pause();
            break;
        case IN_RACE_END:
            race_end_pass();
            if (race_end_running()) break;
            open_part_ = FRAME_DONE;
            finish_frame();
            break;
    }
    if (open_part_ != FRAME_DONE || next_.kind == ScreenChange::STAY) return stay_on_screen();
    if (next_.kind == ScreenChange::BACK && report_ && !end_line_.empty()) report_(end_line_);
    ScreenChange change = std::move(next_);
    next_ = ScreenChange();
    return change;
}

}  // namespace

std::unique_ptr<RaceSource> local_source() { return std::unique_ptr<RaceSource>(new LocalSource()); }

std::unique_ptr<RaceSource> replay_source(const replay& watched) {
    return std::unique_ptr<RaceSource>(new ReplaySource(watched));
}

RacePlan replay_plan(const WatchedReplay& w) {
    RacePlan plan;
    plan.setup = replay_race_setup(w.rep);
    plan.level_index = w.level_index < 0 ? 0 : w.level_index;
    if (w.level_index < 0) {
        plan.track_text = w.rep.track_text;
        plan.track_text_name = w.rep.track_name;
    }
    return plan;
}

ScreenPtr make_race_screen(const RacePlan& plan, std::unique_ptr<RaceSource> source, RaceReport report) {
    return ScreenPtr(new RaceScreen(plan, std::move(source), std::move(report), true));
}

ScreenPtr make_online_race_screen(std::unique_ptr<RaceSource> source) {
    return ScreenPtr(new RaceScreen(RacePlan(), std::move(source), nullptr, false));
}

ScreenPtr make_race_screen_as_it_stands(const RacePlan& plan) {
    return ScreenPtr(new RaceScreen(plan, nullptr, nullptr, false));
}
