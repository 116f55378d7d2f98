// SPDX-License-Identifier: GPL-3.0-or-later
// The online race screen on the shared peer (net/peer.h): the race is
// stepped by the session, possibly several times a frame when it rolls
// back, and drawn afterwards from the race as it stands.
#include "view/online.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/clock.h"
#include "core/cli.h"
#include "core/files.h"
#include "core/screen.h"
#include "core/state.h"
#include "draw/draw.h"
#include "io/assets.h"
#include "io/media.h"
#include "net/peer.h"
#include "replay/session.h"
#include "track/track.h"
#include "view/race_screen.h"
#include "view/view.h"

constexpr int VIEW_W = 400;

namespace {

// The race screen's source in an online race: the connection, the race
// states the session keeps (rolled back as inputs arrive) and the replay.
class OnlineSource : public RaceSource {
public:
    OnlineSource(std::unique_ptr<net_peer> peer, const std::string& shown)
        : peer_(std::move(peer)), address_shown_(shown) {}
    ~OnlineSource() override { close(); }

    void set_up(const RacePlan&, Race&, Track&) override {}
    RaceInput step_input(const FrameInput& in) override { return in.drive; }
    bool stepped(const Race&, RaceInput) override { return false; }
    ReplayOutcome race_over(const Race&) override { return {}; }
    void leaving(const Race&) override { close(); }

    bool steps_itself() const override { return true; }
    bool connected() const override {
        return peer_ && peer_->phase != net_peer_phase::connecting && peer_->phase != net_peer_phase::refused;
    }
    void advance(const FrameInput& in, bool counting) override;
    const Race& race() const override { return net_peer_race(*peer_); }
    const Track& track() const override { return *peer_->track; }
    void draw_waiting() const override;
    void compose(const Race& race) const override;
    bool over() const override { return peer_ && peer_->phase == net_peer_phase::ended; }
    uint32_t countdown_start() const override { return countdown_start_; }
    void toggle_network_line() override { network_line_ = !network_line_; }
    void switch_view() override { shown_view_ = 1 - shown_view_; }

private:
    void write_replay();
    void close();
    std::string result_line(const Race& race) const;

    std::unique_ptr<net_peer> peer_;
    std::string address_shown_;    // what the waiting screen says
    uint32_t countdown_start_ = 0;   // when this machine's race began
    bool replay_written_ = false;
    std::time_t race_started_ = 0;   // for the replay's file name
    bool network_line_ = false;      // F3
    int shown_view_ = 0;             // a spectator's: player 1's view or player 2's
};

// Steps a spectator keeps in hand, so that batches arriving unevenly still
// play at an even pace; past three times that it jumps ahead.
constexpr long long WATCH_DELAY_STEPS = 25;

// How many of the steps received a spectator runs this frame.
long long watch_steps_now(long long behind, bool counting, bool host_gone) {
    if (counting || behind <= 0) return 0;
    if (behind > 3 * WATCH_DELAY_STEPS) return behind - WATCH_DELAY_STEPS;
    return behind > WATCH_DELAY_STEPS / 2 || host_gone ? 1 : 0;
}

}  // namespace

std::string online_replay_folder() {
    if (!recording_folder().empty()) return recording_folder();
    const std::string home = user_folder(UserFolder::data);
    return home.empty() ? "" : home + "/replays";
}

// The guest's track of that name: the --track file when it goes by it, else the catalogue's.
static std::string guest_track_path(const std::string& name) {
    if (track_file_override && level_name_of_file(track_file_override) == name) return track_file_override;
    return level_file_path(name.c_str());
}

ScreenPtr start_online_host(int port, int input_delay, std::string& error) {
    std::unique_ptr<net_peer> peer(new net_peer);
    peer->input_delay = input_delay;
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
                             race_settings.difficulty, race_settings.off_road};
    std::unique_ptr<Track> track(new Track());
    Race race = live_race;
    setup_race(race, *track, setup_random, setup, path.c_str());
    if (!net_peer_host(*peer, port, "", race, *track, name, sha256_hex(bytes), chainball_version(), error))
        return nullptr;
    return make_online_race_screen(std::unique_ptr<RaceSource>(
        new OnlineSource(std::move(peer), "Waiting for an opponent on UDP port " + std::to_string(port))));
}

ScreenPtr start_online_join(const std::string& address, std::string& error) {
    std::unique_ptr<net_peer> peer(new net_peer);
    if (!net_peer_join(*peer, address, guest_track_path, chainball_version(), error)) return nullptr;
    return make_online_race_screen(
        std::unique_ptr<RaceSource>(new OnlineSource(std::move(peer), "Connecting to " + printable(address))));
}

ScreenPtr start_online_watch(const std::string& address, std::string& error) {
    std::unique_ptr<net_peer> peer(new net_peer);
    if (!net_peer_watch(*peer, address, guest_track_path, chainball_version(), error)) return nullptr;
    return make_online_race_screen(std::unique_ptr<RaceSource>(
        new OnlineSource(std::move(peer), "Connecting to " + printable(address) + " to watch")));
}

void OnlineSource::write_replay() {
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
        std::fprintf(stderr, "chainball: online race kept in %s\n", printable(path, 200).c_str());
    else
        std::fprintf(stderr, "chainball: cannot keep the online race in '%s': %s\n", printable(folder, 200).c_str(),
                     cause.c_str());
}

// Tells the opponent, keeps the race so far, lets the connection go.
void OnlineSource::close() {
    if (peer_ && peer_->phase == net_peer_phase::racing) {
        net_peer_leave(*peer_);
        write_replay();
    }
    if (peer_) net_peer_close(*peer_);
    peer_.reset();
}

std::string online_lap_line(const char* who, const Race& race, int racer) {
    // A finished racer drives on and completes more laps than the race has.
    const int laps = std::min(race.racers[racer].completed_laps, race.laps);
    return std::string(who) + ": lap " + std::to_string(laps) + "/" + std::to_string(race.laps);
}

std::string online_network_line(const net_peer& p) {
    const net_stats& st = p.session.core.stats;
    const net_rates r = net_last_second(st);
    char line[160];
    snprintf(line, sizeof line, "RTT %d ms  Rollbacks %lld/s deepest %d  Out %.1f In %.1f kB/s",
             net_transport_rtt(p.transport), r.rollbacks, st.max_rollback, r.bytes_sent / 1000.0,
             r.bytes_received / 1000.0);
    return line;
}

// Both players' laps and the race clock (confirmed steps at 50 a second);
// a spectator's names the players.
static void draw_race_lines(const Race& race, int local, bool watching) {
    const int me = local, them = 1 - local;
    text_white(screen, 10, 8, online_lap_line(watching ? "Player 1" : "You", race, me).c_str(), small_font);
    text_white(screen, 10, 24, online_lap_line(watching ? "Player 2" : "Opponent", race, them).c_str(), small_font);
    char t[24];
    format_race_time(race.step, t, sizeof t);
    text_white(screen, VIEW_W - 80, 8, t, small_font);
}

std::string OnlineSource::result_line(const Race& race) const {
    if (peer_->watching && (race.winner == 1 || race.winner == 2)) return "Player " + std::to_string(race.winner) + " won";
    if (peer_->watching) return race.winner == 3 ? "The computer won" : "Race over";
    if (race.winner == peer_->local + 1) return "You won";
    if (race.winner == 2 - peer_->local) return "Your opponent won";
    if (race.winner == 3) return "The computer won";
    return "Race over";
}

void OnlineSource::draw_waiting() const {
    SDL_FillRect(screen, nullptr, 0);
    SDL_Rect at = {18, 50, 0, 0};
    if (logo) SDL_BlitSurface(logo, nullptr, screen, &at);
    text_white(screen, 20, 300, address_shown_.c_str(), small_font);
    // Why there is no race, or what became of a host's last caller.
    const std::string line = peer_->line;
    if (!line.empty()) text_pink(screen, 20, 330, line.c_str(), small_font);
    text_white(screen, 20, 460, "Escape: back to the menu", small_font);
}

// This player's view (the host's is view 1, the window; the guest's view
// 2, copied into it), both players' laps, the clock, the link's line.
void OnlineSource::compose(const Race&) const {
    const int view = peer_->watching ? shown_view_ : peer_->local;
    if (view == 1 && second_view) {
        SDL_Rect to = {0, 0, 0, 0};
        SDL_BlitSurface(second_view, nullptr, screen, &to);
    }
    draw_race_lines(net_peer_confirmed(*peer_), peer_->watching ? 0 : peer_->local, peer_->watching);
    if (network_line_) text_white(screen, 4, 40, online_network_line(*peer_).c_str(), small_font);
    if (peer_->watching) text_white(screen, 20, 455, view ? "Watching player 2 (Tab: player 1)"
                                                          : "Watching player 1 (Tab: player 2)", small_font);
    std::string line = net_peer_line(*peer_, game_ticks());
    if (over() && line.empty()) line = result_line(net_peer_confirmed(*peer_));
    if (!line.empty()) text_pink(screen, 20, 470, line.c_str(), small_font);
    if (over()) text_white(screen, 20, 440, "Escape: back to the menu", small_font);
}

void OnlineSource::advance(const FrameInput& in, bool counting) {
    const net_peer_phase before = peer_->phase;
    if (peer_->watching)
        net_watch_frame(*peer_, game_ticks(), watch_steps_now(net_watch_behind(*peer_), counting, peer_->host_gone));
    else
        net_peer_frame(*peer_, in.drive.player[0], game_ticks(), counting);
    if (before == net_peer_phase::connecting && peer_->phase == net_peer_phase::racing) {
        countdown_start_ = game_ticks();
        race_started_ = std::time(nullptr);
    }
    if (peer_->phase == net_peer_phase::ended) write_replay();
}
