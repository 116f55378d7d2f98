// SPDX-License-Identifier: GPL-3.0-or-later
// The online race screen on the shared peer (net/peer.h): the race is
// stepped by the session, possibly several times a frame when it rolls
// back, and drawn afterwards from the race as it stands.
#include "view/online.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "io/assets.h"
#include "io/media.h"
#include "core/cli.h"
#include "io/events.h"
#include "core/files.h"
#include "io/present.h"
#include "core/state.h"
#include "base/clock.h"
#include "draw/draw.h"
#include "net/peer.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/view.h"
#include "core/screen.h"

constexpr Uint32 COUNTDOWN_MS = 4000;
constexpr int VIEW_W = 400, VIEW_H = 500;

namespace {

// Waiting for the opponent, then the race with this player's view, then
// its end. Owns the connection, its race states and its replay.
class OnlineScreen : public Screen {
public:
    OnlineScreen(std::unique_ptr<net_peer> peer, const std::string& shown)
        : peer_(std::move(peer)), address_shown_(shown) {}
    ~OnlineScreen() override { leave(); }
    int kind() const override { return SCREEN_ONLINE; }
    void enter() override {
        resize_window(VIEW_W, VIEW_H);
        forget_paced_frame();
    }
    ScreenChange frame() override;

private:
    void write_replay();
    void leave();
    void draw_waiting();
    void draw_racing(long long now);
    std::string result_line(const Race& race) const;

    std::unique_ptr<net_peer> peer_;
    std::string address_shown_;   // what the waiting screen says
    Uint32 countdown_start_ = 0;  // when this machine's race began
    bool replay_written_ = false;
    std::time_t race_started_ = 0;   // for the replay's file name
};

// The line the screen showed last, for the tests.
std::string last_line;

}  // namespace

const std::string& online_line() { return last_line; }

std::string online_replay_folder() {
    if (!recording_folder().empty()) return recording_folder();
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && data[0] == '/') base = data;
    else if (const char* home = std::getenv("HOME")) base = std::string(home) + "/.local/share";
    else return "";
    return base + "/chainball/replays";
}

// The guest's track of that name: the --track file when it goes by it, else the catalogue's.
static std::string guest_track_path(const std::string& name) {
    if (track_file_override && level_name_of_file(track_file_override) == name) return track_file_override;
    return level_file_path(name.c_str());
}

ScreenPtr start_online_host(int port, std::string& error) {
    std::unique_ptr<net_peer> peer(new net_peer);
    const std::string path = chosen_level_file();
    std::string bytes, why;
    if (!read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why)) {
        error = "cannot race track file '" + printable(path, 200) + "' online: " + why;
        return nullptr;
    }
    const std::string name = level_name_of_file(path);
    if (!track_name_usable(name)) {
        error = "the track '" + printable(name) + "' cannot be raced online: its name is no track name";
        return nullptr;
    }
    // The race always has the two-player geometry, so both machines compute it alike.
    const RaceSetup setup = {{race_settings.chain_length[0], race_settings.chain_length[1],
                              race_settings.chain_length[2]},
                             race_settings.laps < 1 ? 1 : race_settings.laps,
                             true,
                             race_difficulty};
    std::unique_ptr<Track> track(new Track());
    Race race = live_race;
    setup_race(race, *track, setup_random, setup, path.c_str());
    if (!net_peer_host(*peer, port, "", race, *track, name, sha256_hex(bytes), chainball_version(), error))
        return nullptr;
    return ScreenPtr(new OnlineScreen(std::move(peer), "Waiting for an opponent on UDP port " + std::to_string(port)));
}

ScreenPtr start_online_join(const std::string& address, std::string& error) {
    std::unique_ptr<net_peer> peer(new net_peer);
    if (!net_peer_join(*peer, address, guest_track_path, chainball_version(), error)) return nullptr;
    return ScreenPtr(new OnlineScreen(std::move(peer), "Connecting to " + printable(address)));
}

void OnlineScreen::write_replay() {
    if (replay_written_ || !peer_) return;
    replay_written_ = true;
    const std::string folder = online_replay_folder();
    std::string path, cause;
    if (folder.empty()) cause = "no HOME or XDG_DATA_HOME to keep it in";
    else make_folders(folder, cause);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&race_started_));
    if (cause.empty())
        path = write_replay_file(folder, std::string(stamp) + "-" + peer_->header.track_name,
                                 format_replay(net_peer_replay(*peer_)), cause);
    if (!path.empty())
        std::fprintf(stderr, "chainball: online race kept in %s\n", path.c_str());
    else
        std::fprintf(stderr, "chainball: cannot keep the online race: %s\n", cause.c_str());
}

// Tells the opponent, keeps the race so far, lets the connection go.
void OnlineScreen::leave() {
    if (peer_ && peer_->phase == net_peer_phase::racing) {
        net_peer_leave(*peer_);
        write_replay();
    }
    if (peer_) net_peer_close(*peer_);
    peer_.reset();
}

// This player's view of the race as it stands: the host's is view 1 (the
// window), the guest's view 2, copied into the window.
static void draw_race(const Race& race, const Track& track, int local) {
    SDL_FillRect(screen, nullptr, 0);
    if (second_view) SDL_FillRect(second_view, nullptr, 0);
    draw_track(race, track);
    for (int k = 0; k < track.checkpoint_count && k < MAX_CHECKPOINTS; k++) draw_checkpoint_marker(race, track, k);
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++) draw_ball(race, r, b);
    if (local == 1 && second_view) {
        SDL_Rect to = {0, 0, 0, 0};
        SDL_BlitSurface(second_view, nullptr, screen, &to);
    }
}

// Both players' laps and the race clock (confirmed steps at 50 a second).
static void draw_race_lines(const Race& race, int local) {
    const int me = local, them = 1 - local;
    snprintf(label_buffer, sizeof label_buffer, "You: lap %d/%d", race.racers[me].completed_laps, race.laps);
    text_white(screen, 10, 8, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "Opponent: lap %d/%d", race.racers[them].completed_laps, race.laps);
    text_white(screen, 10, 24, label_buffer, small_font);
    char t[24];
    format_race_time(race.step, t, sizeof t);
    text_white(screen, VIEW_W - 80, 8, t, small_font);
}

std::string OnlineScreen::result_line(const Race& race) const {
    if (race.winner == peer_->local + 1) return "You won";
    if (race.winner == 2 - peer_->local) return "Your opponent won";
    if (race.winner == 3) return "The computer won";
    return "Race over";
}

void OnlineScreen::draw_waiting() {
    SDL_FillRect(screen, nullptr, 0);
    SDL_Rect at = {18, 50, 0, 0};
    if (logo) SDL_BlitSurface(logo, nullptr, screen, &at);
    text_white(screen, 20, 300, address_shown_.c_str(), small_font);
    last_line = peer_->phase == net_peer_phase::refused ? peer_->line : "";
    if (!last_line.empty()) text_pink(screen, 20, 330, last_line.c_str(), small_font);
    text_white(screen, 20, 460, "Escape: back to the menu", small_font);
}

void OnlineScreen::draw_racing(long long now) {
    const Race& race = net_peer_race(*peer_);
    draw_race(race, *peer_->track, peer_->local);
    draw_race_lines(net_peer_confirmed(*peer_), peer_->local);
    last_line = net_peer_line(*peer_, now);
    if (peer_->phase == net_peer_phase::ended && last_line.empty())
        last_line = result_line(net_peer_confirmed(*peer_));
    const Uint32 since = game_ticks() - countdown_start_;
    if (since < COUNTDOWN_MS) {
        const char* label = since <= 999 ? " 3" : since <= 1999 ? " 2" : since <= 2999 ? " 1" : "GO!";
        text_white(screen, 170, 240, label, large_font);
    }
    if (!last_line.empty()) text_pink(screen, 20, 470, last_line.c_str(), small_font);
    if (peer_->phase == net_peer_phase::ended) text_white(screen, 20, 440, "Escape: back to the menu", small_font);
}

ScreenChange OnlineScreen::frame() {
    start_paced_frame();
    if (!peer_) return go_back();
    FrameInput in = held_frame_input(false);
    const long long now = game_ticks();
    const net_peer_phase before = peer_->phase;
    const bool counting = peer_->phase == net_peer_phase::racing && game_ticks() - countdown_start_ < COUNTDOWN_MS;
    net_peer_frame(*peer_, in.drive.player[0], now, counting);
    if (before == net_peer_phase::connecting && peer_->phase == net_peer_phase::racing) {
        countdown_start_ = game_ticks();
        race_started_ = std::time(nullptr);
    }
    if (peer_->phase == net_peer_phase::ended) write_replay();
    if (peer_->phase == net_peer_phase::connecting || peer_->phase == net_peer_phase::refused)
        draw_waiting();
    else
        draw_racing(now);
    race_events(in, false);
    if (in.quit || in.leave) {
        leave();
        return in.quit ? quit_game() : go_back();
    }
    show_paced_frame(20, true);
    return stay_on_screen();
}
