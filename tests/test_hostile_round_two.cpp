// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile files, second round: pictures of other formats and sizes, track
// names a replay cannot hold, replays that would take memory out of all
// proportion, chainball-track render's output, and a --record folder left
// behind by a refused run. Each is refused with one line naming the cause.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"
#include "harness.h"
#include "io/pictures.h"
#include "replay/replay.h"
#include "shell/shell.h"
#include "track/track.h"
#include "trackkit/trackkit.h"

namespace {

// A hang here is a fault: SIGALRM's default action ends the test process.
struct HangGuard {
    HangGuard() { alarm(60); }
    ~HangGuard() { alarm(0); }
};

std::string be32(unsigned v) {
    return {char(v >> 24), char(v >> 16 & 0xff), char(v >> 8 & 0xff), char(v & 0xff)};
}

// Headers of pictures that claim `w` x `h` pixels, with nothing after them.
std::string png_header(unsigned w, unsigned h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(w) + be32(h) +
           std::string("\x08\x06\x00\x00\x00", 5);
}
std::string gif_header(unsigned w, unsigned h) {
    return std::string("GIF89a") + char(w & 0xff) + char(w >> 8) + char(h & 0xff) + char(h >> 8) +
           std::string("\xf7\x00\x00", 3);
}
std::string jpeg_header() {
    // SOI, then a baseline frame of 5000 x 5000.
    return std::string("\xff\xd8\xff\xc0\x00\x11\x08\x13\x88\x13\x88\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 21);
}

std::string write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

int count_lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

std::string built_data() {
    char cwd[4096];
    return std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/filut";
}

}  // namespace

// Every format but PNG is refused by its header, and so is any size the game
// cannot afford, before a decoder sees a byte; a PNG that claims a good size
// but holds nothing fails its decode with a line, not a crash.
TEST(HostilePictures, OnlyPngHeadersOfAffordableSizesAreDecoded) {
    const std::string dir = scratch_dir();
    const struct {
        std::string bytes;
        picture_limit limit;
        const char* says;
    } cases[] = {
        {gif_header(20000, 20000), OTHER_PICTURE, "is not a PNG picture (it starts with 'GIF89a "},
        {jpeg_header(), OTHER_PICTURE, "is not a PNG picture (it starts with '\\xff\\xd8\\xff\\xc0"},
        {"BM" + std::string(60, '\0'), BALL_PICTURE, "is not a PNG picture (it starts with 'BM\\x00"},
        {"", BALL_PICTURE, "is not a PNG picture (it is empty)"},
        {png_header(1600, 1600), BALL_PICTURE, "is 1600 x 1600 pixels; a ball picture may be at most 128 x 128"},
        {png_header(129, 1), BALL_PICTURE, "is 129 x 1 pixels"},
        {png_header(4097, 10), OTHER_PICTURE, "is 4097 x 10 pixels; a picture may be at most 4096 x 4096"},
        {png_header(0, 0), OTHER_PICTURE, "is 0 x 0 pixels"},
        {png_header(0xffffffffu, 1), OTHER_PICTURE, "is 4294967295 x 1 pixels"},
        {png_header(1, 1), BALL_PICTURE, "cannot be decoded"},
        {png_header(20, 20).substr(0, 20), BALL_PICTURE, "is not a PNG picture"},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string path = write_file(dir + "/p" + std::to_string(i++) + ".png", c.bytes);
        std::string why;
        const bool header_ok = check_picture(path, c.limit, why);
        SDL_Surface* s = nullptr;
        // Nothing but the one line the caller prints from `why`.
        EXPECT_EQ(capture_stderr([&] { s = load_picture(path, c.limit, why); }), "") << c.says;
        EXPECT_EQ(s, nullptr) << c.says;
        SDL_FreeSurface(s);
        EXPECT_NE(why.find(path + " " + c.says), std::string::npos) << "wanted '" << c.says << "' in: " << why;
        EXPECT_EQ(why.find('\n'), std::string::npos) << why;
        // Only the empty PNG passes its header: the rest never reach a decoder.
        EXPECT_EQ(header_ok, std::string(c.says) == "cannot be decoded") << c.says;
    }
    // The limits are inclusive, and ours load.
    std::string why;
    SDL_Surface* ball = load_picture(built_data() + "/pallura1.png", BALL_PICTURE, why);
    ASSERT_NE(ball, nullptr) << why;
    EXPECT_EQ(ball->w, 26);
    SDL_FreeSurface(ball);
    SDL_Surface* edge = SDL_CreateRGBSurface(SDL_SWSURFACE, 128, 3, 32, 0, 0, 0, 0);
    const std::string edge_png = dir + "/edge.png";
    ASSERT_TRUE(write_png(edge, edge_png, why)) << why;
    SDL_FreeSurface(edge);
    EXPECT_TRUE(check_picture(edge_png, BALL_PICTURE, why)) << why;
    SDL_Surface* loaded = load_picture(edge_png, BALL_PICTURE, why);
    EXPECT_NE(loaded, nullptr) << why;
    SDL_FreeSurface(loaded);
    // A FIFO is not waited on.
    HangGuard guard;
    const std::string fifo = dir + "/fifo.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(check_picture(fifo, OTHER_PICTURE, why));
    EXPECT_NE(why.find("a FIFO"), std::string::npos) << why;
}

// The kit reads the data folder as the game does: a GIF set.png, a JPEG
// marker or a 2000-pixel ball is one line and status 2, at once.
TEST(HostilePictures, TheKitsDataFolderHasTheGamesLimits) {
    if (access("./chainball-track", X_OK) != 0) GTEST_SKIP() << "chainball-track not built beside the tests";
    const struct {
        const char* file;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"set.png", gif_header(20000, 20000), "set.png is not a PNG picture (it starts with 'GIF89a "},
        {"donut.png", jpeg_header(), "donut.png is not a PNG picture"},
        {"pallura2.png", png_header(2000, 2000), "pallura2.png is 2000 x 2000 pixels; a ball picture may be at most 128 x 128"},
    };
    for (const auto& c : cases) {
        const std::string dir = scratch_dir();
        std::string out;
        ASSERT_EQ(run("cp -r " + built_data() + "/. " + dir, out), 0) << out;
        write_file(dir + "/" + c.file, c.bytes);
        EXPECT_EQ(run("./chainball-track render --data " + dir + " filut/levelit/FirstLoop.txt -o " + dir + "/o.png", out), 2);
        EXPECT_EQ(out.rfind("chainball-track: data file ", 0), 0u) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        EXPECT_EQ(count_lines(out), 1) << out;
        EXPECT_NE(access((dir + "/o.png").c_str(), F_OK), 0);
    }
}

// A track file's name is the track's name in every replay recorded on it:
// --track takes a file only when that name reads back, so whatever the game
// writes, its reader takes.
TEST(HostileTrackNames, TrackFilesWhoseNamesCannotReadBackAreRefused) {
    const std::string dir = scratch_dir();
    const std::string level = "0008\n" + std::string(64, '.');
    const struct {
        const char* file;
        const char* says;   // "" when raced
    } cases[] = {
        {"my track.txt", "its name 'my track' cannot stand in a replay: it holds a space"},
        {".hidden.txt", "its name '.hidden' cannot stand in a replay: it starts with '.'"},
        {".txt", "its name '.txt' cannot stand in a replay: it starts with '.'"},
        {"tab\there.txt", "its name 'tab\\x09here' cannot stand in a replay: it holds a byte that is not printable"},
        {"b\xc3\xa4r.txt", "it holds a byte that is not printable ASCII"},
        {"hash#tag.txt", "it holds '#'"},
        {"back\\slash.txt", "it holds '\\'"},
        {"Plain-Track_2.txt", ""},
        {"no-extension", ""},
        {"a-name-longer-than-the-button-holds-is-cut-at-49-characters.txt", ""},
    };
    for (const auto& c : cases) {
        const std::string path = write_file(dir + "/" + c.file, level);
        bool usable = false;
        const std::string err = capture_stderr([&] { usable = usable_track_file(path); });
        if (*c.says) {
            EXPECT_FALSE(usable) << c.file;
            EXPECT_NE(err.find(c.says), std::string::npos) << "wanted '" << c.says << "' in: " << err;
            EXPECT_EQ(count_lines(err), 1) << err;
            continue;
        }
        EXPECT_TRUE(usable) << c.file << ": " << err;
        // The name it goes by, written into a replay, reads back.
        replay r;
        r.track_name = std::string(level_name_of_file(path)).substr(0, LEVEL_NAME_LEN - 1);
        r.track_sha256 = sha256_hex(level);
        r.pictures = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        r.result.left = true;
        replay back;
        std::string error;
        EXPECT_TRUE(parse_replay(format_replay(r), back, error)) << c.file << ": " << error;
        EXPECT_EQ(back.track_name, r.track_name);
    }
}

namespace {
// The head of a replay on the shipped test track, up to its keys line.
std::string replay_head(long long key_lines) {
    return "chainball-replay 1\ntrack Straight " + std::string(64, 'a') +
           "\nplayers 1\nlengths 3 0 0\nlaps 1\ncarried 0 0 0 0.899999976\nslowing 0\npictures 3 0 1 0\nkeys " +
           std::to_string(key_lines) + "\n";
}

// chainball-sim --replay on `file`: its status, first line on stderr, peak
// resident memory in bytes and CPU seconds. Started from a small Python
// process: a child forked from this test process would count the test's own
// memory in its peak.
struct sim_run {
    int status = -1;
    std::string first_line;
    long long peak = 0;
    double cpu = 0;
};
sim_run run_sim(const std::string& file) {
    sim_run r;
    const std::string err = scratch_dir() + "/err.txt";
    const std::string cmd =
        "/usr/bin/python3 -c \"import resource, subprocess, sys; "
        "p = subprocess.run(['./chainball-sim', '--replay', sys.argv[1]], stderr=open(sys.argv[2], 'w')); "
        "u = resource.getrusage(resource.RUSAGE_CHILDREN); "
        "print(p.returncode, u.ru_maxrss, u.ru_utime + u.ru_stime)\" " + file + " " + err;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    long long kb = 0;
    if (std::fscanf(p, "%d %lld %lf", &r.status, &kb, &r.cpu) != 3) r.status = -1;
    pclose(p);
    r.peak = kb * 1024;
    std::ifstream in(err);
    std::getline(in, r.first_line);
    return r;
}
}  // namespace

// A replay just under the 32 MiB cap made of one-step key lines, or of
// blank lines, is refused for what it holds with memory bounded by the race
// it could describe: the text, plus 16 bytes a key line for at most a day of
// racing. Figures printed; the bound is checked in the simulator's own process.
TEST(HostileReplayMemory, ReaderPeakIsBoundedOnA33MegabyteFile) {
    if (access("./chainball-sim", X_OK) != 0) GTEST_SKIP() << "chainball-sim not built beside the tests";
    const std::string dir = scratch_dir();
    const long long lines = (MAX_REPLAY_BYTES - 4096) / 2;   // 16.7 million "1\n"
    std::string ones;
    ones.reserve((size_t)lines * 2);
    for (long long i = 0; i < lines; i++) ones += "1\n";
    const struct {
        const char* name;
        std::string text;
        const char* says;
    } files[] = {
        // The count says more than a day of racing: refused at its line.
        {"count", replay_head(lines) + ones, "line 9: 'keys' needs a whole number from 0 to 4320000"},
        // A day of one-step lines, and millions more where the result belongs.
        {"day", replay_head(MAX_REPLAY_STEPS) + ones, "line 4320010: expected 'result', got '1'"},
        {"blank", replay_head(1) + std::string((size_t)MAX_REPLAY_BYTES - 400, '\n'), "the key section should hold 1 lines"},
    };
    ones = std::string();
    for (const auto& f : files) {
        const std::string path = write_file(dir + "/" + f.name + ".cbreplay", f.text);
        const long long bytes = (long long)f.text.size();
        const sim_run r = run_sim(path);
        std::printf("[ figures  ] %-5s replay of %.1f MB: peak %.1f MB (%.2f x the file), %.2f s CPU\n", f.name,
                    bytes / 1e6, r.peak / 1e6, (double)r.peak / bytes, r.cpu);
        EXPECT_EQ(r.status, 2) << f.name;
        EXPECT_NE(r.first_line.find(f.says), std::string::npos) << f.name << ": " << r.first_line;
        // The text once, the keys of a day (69 MB), the program itself.
        EXPECT_LT(r.peak, bytes + MAX_REPLAY_STEPS * (long long)sizeof(sim_segment) + (40LL << 20)) << f.name;
    }
}

// A quit asked for while a replay is read stops the reading at the next
// poll, with a line that says so; without one the same text reads whole.
TEST(HostileReplayMemory, AQuitStopsALongRead) {
    std::string text = replay_head(200000);
    for (int i = 0; i < 200000; i++) text += "1\n";
    text += "result left at step 200000\n";
    replay r;
    std::string error;
    ASSERT_TRUE(parse_replay(text, r, error)) << error;
    EXPECT_EQ(r.keys.size(), 200000u);

    static int polls;
    polls = 0;
    replay_read_stop = [] { return ++polls > 2; };
    EXPECT_FALSE(parse_replay(text, r, error));
    replay_read_stop = nullptr;
    EXPECT_EQ(polls, 3);
    EXPECT_NE(error.find("reading stopped: the game was asked to quit"), std::string::npos) << error;
}

// render -o: never over the track being drawn, never into a FIFO or a
// device, and a failed write leaves what stood there before and no half
// picture beside it.
namespace {
// Drawing needs the game's pictures; the shared track and settings are
// given back as they were.
class HostileRenderOutput : public ::testing::Test {
protected:
    std::unique_ptr<Track> saved_track{new Track(loaded_track)};
    RaceSettings saved_settings = race_settings;
    void SetUp() override { start_game_headless(); }
    void TearDown() override {
        loaded_track = *saved_track;
        race_settings = saved_settings;
    }
};
}  // namespace

TEST_F(HostileRenderOutput, OutputsThatCannotTakeThePictureAreRefused) {
    HangGuard guard;
    const std::string dir = scratch_dir();
    std::string level;
    {
        std::ifstream in(built_data() + "/levelit/FirstLoop.txt", std::ios::binary);
        level.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_FALSE(level.empty());
    const std::string track = write_file(dir + "/t.txt", level);
    ASSERT_EQ(symlink(track.c_str(), (dir + "/link.png").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo.png").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((dir + "/folder.png").c_str(), 0700), 0);
    const struct {
        std::string out;
        const char* says;
    } bad[] = {
        {track, "it is the track file being drawn"},
        {dir + "/link.png", "it is the track file being drawn"},
        {dir + "/fifo.png", "a FIFO, not a regular file"},
        {dir + "/folder.png", "a directory, not a regular file"},
        {"/dev/full", "a device or socket, not a regular file"},
        {dir + "/no-folder/o.png", "No such file or directory"},
    };
    for (const auto& b : bad) {
        std::string why;
        EXPECT_FALSE(render_track(track, b.out, false, 0.1, 1, why)) << b.out;
        EXPECT_NE(why.find("cannot write " + b.out + ": " + b.says), std::string::npos) << why;
    }
    std::string after;
    {
        std::ifstream in(track, std::ios::binary);
        after.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_EQ(after, level) << "the track file was written over";

    // Over an old picture: replaced whole, nothing else left in the folder.
    const std::string out = write_file(dir + "/old.png", "old");
    std::string why;
    ASSERT_TRUE(render_track(track, out, false, 0.1, 1, why)) << why;
    EXPECT_TRUE(check_picture(out, OTHER_PICTURE, why)) << why;
    std::string listing;
    run("ls -A " + dir, listing);
    EXPECT_EQ(listing, "fifo.png\nfolder.png\nlink.png\nold.png\nt.txt\n");
}

// A full disk, on a 64 KiB tmpfs in a mount namespace of its own: the
// system's reason, status 1, the old file kept and no temporary file left.
TEST(HostileRenderFullDisk, AFullDiskIsNamedAndLeavesNothingHalfWritten) {
    if (access("./chainball-track", X_OK) != 0) GTEST_SKIP() << "chainball-track not built beside the tests";
    std::string out;
    if (run("unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt' ", out) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and unshare): " << out;
    const std::string script =
        "unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt && echo old > /mnt/o.png && "
        "./chainball-track render filut/levelit/FirstLoop.txt -o /mnt/o.png; echo status $?; ls -A /mnt; cat /mnt/o.png'";
    ASSERT_EQ(run(script, out), 0) << out;
    EXPECT_EQ(out, "chainball-track: cannot write /mnt/o.png: No space left on device\nstatus 1\no.png\nold\n");
}

// --record on a disk without room: refused at start with the room it has,
// instead of losing the race when it ends.
TEST(HostileRecordFolder, ADiskWithoutRoomIsFoundAtStart) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    std::string out;
    if (run("unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt' ", out) != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and unshare): " << out;
    ASSERT_EQ(run("unshare -m sh -c 'mount -t tmpfs -o size=64k tmpfs /mnt && ./chainball --record /mnt/races; "
                  "echo status $?; ls -A /mnt'",
                  out),
              0)
        << out;
    EXPECT_NE(out.find("chainball: cannot record races in '/mnt/races': its disk has only "), std::string::npos)
        << out;
    EXPECT_NE(out.find("bytes free, less than the 1048576 a recording needs\n"), std::string::npos) << out;
    EXPECT_NE(out.find("status 2\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\nraces\n"), std::string::npos) << "the refused run left its folder: " << out;
}

// --record DIR with a run refused afterwards (here a missing replay): the
// folder the game made is gone again; one that was there stays.
TEST(HostileRecordFolder, ARefusedRunLeavesNoRecordFolder) {
    if (access("./chainball", X_OK) != 0) GTEST_SKIP() << "game binary not built beside the tests";
    const std::string dir = scratch_dir();
    std::string out;
    EXPECT_EQ(run("./chainball --record " + dir + "/races --replay " + dir + "/missing.cbreplay", out), 2);
    EXPECT_NE(out.find("missing.cbreplay': no such file"), std::string::npos) << out;
    EXPECT_NE(access((dir + "/races").c_str(), F_OK), 0) << "the refused run left its record folder";
    EXPECT_EQ(run("./chainball --record " + dir + " --replay " + dir + "/missing.cbreplay", out), 2);
    EXPECT_EQ(access(dir.c_str(), F_OK), 0);
}
