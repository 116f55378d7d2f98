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

static std::unique_ptr<net_peer> peer;
static std::string line;              // shown under the race or on the waiting screen
static std::string address_shown;     // what the waiting screen says
static Uint32 countdown_start = 0;    // when this machine's race began
static bool replay_written = false;
static std::time_t race_started = 0;   // for the replay's file name
constexpr Uint32 COUNTDOWN_MS = 4000;
constexpr int VIEW_W = 400, VIEW_H = 500;

const std::string& online_line() { return line; }

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

static void enter_screen(const std::string& shown) {
    address_shown = shown;
    line.clear();
    replay_written = false;
    resize_window(VIEW_W, VIEW_H);
    game_screen = SCREEN_ONLINE;
    forget_paced_frame();
}

bool start_online_host(int port, std::string& error) {
    peer.reset(new net_peer);
    const std::string path = chosen_level_file();
    std::string bytes, why;
    if (!read_regular_file(path.c_str(), MAX_LEVEL_FILE_BYTES, bytes, why)) {
        error = "cannot race track file '" + printable(path, 200) + "' online: " + why;
        return false;
    }
    const std::string name = level_name_of_file(path);
    if (!track_name_usable(name)) {
        error = "the track '" + printable(name) + "' cannot be raced online: its name is no track name";
        return false;
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
        return false;
    enter_screen("Waiting for an opponent on UDP port " + std::to_string(port));
    return true;
}

bool start_online_join(const std::string& address, std::string& error) {
    peer.reset(new net_peer);
    if (!net_peer_join(*peer, address, guest_track_path, chainball_version(), error)) return false;
    enter_screen("Connecting to " + printable(address));
    return true;
}

static void write_online_replay() {
    if (replay_written || !peer) return;
    replay_written = true;
    const std::string folder = online_replay_folder();
    std::string path, cause;
    if (folder.empty()) cause = "no HOME or XDG_DATA_HOME to keep it in";
    else make_folders(folder, cause);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&race_started));
    if (cause.empty())
        path = write_replay_file(folder, std::string(stamp) + "-" + peer->header.track_name,
                                 format_replay(net_peer_replay(*peer)), cause);
    if (!path.empty())
        std::fprintf(stderr, "chainball: online race kept in %s\n", path.c_str());
    else
        std::fprintf(stderr, "chainball: cannot keep the online race: %s\n", cause.c_str());
}

static void leave() {
    if (peer && peer->phase == net_peer_phase::racing) {
        net_peer_leave(*peer);
        write_online_replay();
    }
    if (peer) net_peer_close(*peer);
    peer.reset();
    back_to_menu();
}

// This player's view of the race as it stands: the host's is view 1 (the
// window), the guest's view 2, copied into the window.
static void draw_race(const Race& race, const Track& track) {
    SDL_FillRect(screen, nullptr, 0);
    if (second_view) SDL_FillRect(second_view, nullptr, 0);
    draw_track(race, track);
    for (int k = 0; k < track.checkpoint_count && k < MAX_CHECKPOINTS; k++) draw_checkpoint_marker(race, track, k);
    for (int r = 0; r < RACERS; r++)
        for (int b = 0; b < racer_length(race, r); b++) draw_ball(race, r, b);
    if (peer->local == 1 && second_view) {
        SDL_Rect to = {0, 0, 0, 0};
        SDL_BlitSurface(second_view, nullptr, screen, &to);
    }
}

// Both players' laps and the race clock (confirmed steps at 50 a second).
static void draw_race_lines(const Race& race) {
    const int me = peer->local, them = 1 - peer->local;
    snprintf(label_buffer, sizeof label_buffer, "You: lap %d/%d", race.racers[me].completed_laps, race.laps);
    text_white(screen, 10, 8, label_buffer, small_font);
    snprintf(label_buffer, sizeof label_buffer, "Opponent: lap %d/%d", race.racers[them].completed_laps, race.laps);
    text_white(screen, 10, 24, label_buffer, small_font);
    const long long steps = race.step;
    snprintf(label_buffer, sizeof label_buffer, "%lld:%02lld.%02lld", steps / 3000, steps / 50 % 60, steps % 50 * 2);
    text_white(screen, VIEW_W - 80, 8, label_buffer, small_font);
}

static std::string result_line(const Race& race) {
    if (race.winner == peer->local + 1) return "You won";
    if (race.winner == 2 - peer->local) return "Your opponent won";
    if (race.winner == 3) return "The computer won";
    return "Race over";
}

void online_frame() {
    start_paced_frame();
    if (!peer) {
        back_to_menu();
        return;
    }
    RaceInput input;
    frame_keys(input);
    const long long now = game_ticks();
    const net_peer_phase before = peer->phase;
    const bool counting = peer->phase == net_peer_phase::racing && game_ticks() - countdown_start < COUNTDOWN_MS;
    net_peer_frame(*peer, input.player[0], now, counting);
    if (before == net_peer_phase::connecting && peer->phase == net_peer_phase::racing) {
        countdown_start = game_ticks();
        race_started = std::time(nullptr);
    }
    if (peer->phase == net_peer_phase::ended) write_online_replay();

    if (peer->phase == net_peer_phase::connecting || peer->phase == net_peer_phase::refused) {
        SDL_FillRect(screen, nullptr, 0);
        SDL_Rect at = {18, 50, 0, 0};
        if (logo) SDL_BlitSurface(logo, nullptr, screen, &at);
        text_white(screen, 20, 300, address_shown.c_str(), small_font);
        line = peer->phase == net_peer_phase::refused ? peer->line : "";
        if (!line.empty()) text_pink(screen, 20, 330, line.c_str(), small_font);
        text_white(screen, 20, 460, "Escape: back to the menu", small_font);
    } else {
        const Race& race = net_peer_race(*peer);
        draw_race(race, *peer->track);
        draw_race_lines(net_peer_confirmed(*peer));
        line = net_peer_line(*peer, now);
        if (peer->phase == net_peer_phase::ended && line.empty()) line = result_line(net_peer_confirmed(*peer));
        const Uint32 since = game_ticks() - countdown_start;
        if (since < COUNTDOWN_MS) {
            const char* label = since <= 999 ? " 3" : since <= 1999 ? " 2" : since <= 2999 ? " 1" : "GO!";
            text_white(screen, 170, 240, label, large_font);
        }
        if (!line.empty()) text_pink(screen, 20, 470, line.c_str(), small_font);
        if (peer->phase == net_peer_phase::ended) text_white(screen, 20, 440, "Escape: back to the menu", small_font);
    }
    SDL_Event e;
    while (next_event(e)) {
        if (e.type == SDL_QUIT) {
            leave();
            game_screen = SCREEN_QUIT;
            return;
        }
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) {
            leave();
            return;
        }
    }
    show_paced_frame(20, game_screen == SCREEN_ONLINE);
}
