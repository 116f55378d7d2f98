// SPDX-License-Identifier: GPL-3.0-or-later
// chainball-track's command line: check, stats, render and limits, the data
// folder it draws and measures with, and the text of its reports.
#include <SDL/SDL_ttf.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/cli.h"
#include "core/files.h"
#include "core/state.h"
#include "io/assets.h"
#include "io/media.h"
#include "io/pictures.h"
#include "race/race.h"
#include "config/cups.h"
#include "track/track.h"
#include "trackkit/trackkit.h"
#include "trackkit/trackkit_local.h"
#include "view/tiles.h"
#include "view/view.h"

static const char* const kit_usage =
    "usage: chainball-track check [--data DIR] FILE...\n"
    "       chainball-track stats [--json] [--data DIR] FILE...\n"
    "       chainball-track render FILE -o OUT.png [--route] [--full] [--scale S] [--seed N]\n"
    "                              [--data DIR]\n"
    "       chainball-track limits\n"
    "       chainball-track cup [--data DIR] FILE...\n";

static const char* const kit_help =
    "\n"
    "The track makers' kit: reads level files exactly as the game does.\n"
    "\n"
    "  check    prints one finding a line, FILE:ROW:COL: error|warning: message\n"
    "           (ROW and COL of the grid cell from 1; row 0 is the size field,\n"
    "           0:0 the file as a whole), then a summary per file. Exit status 0\n"
    "           when every file is raceable, 1 when one has an error.\n"
    "  stats    the design figures of each track; --json for scripts\n"
    "  render   the whole track as a PNG picture, one pixel per pixel unless\n"
    "           --scale S (0 < S <= 1) shrinks it; --route adds the computer\n"
    "           drivers' line, the checkpoints, the finish strip and the start\n"
    "           grid; --full draws it as the full game (chainball --extras)\n"
    "           does, with its wide roads and verges of one material; --seed N\n"
    "           picks the slowing cells' looks (default 1)\n"
    "  limits   the limits of the design figures that check warns about\n"
    "  cup      checks cup files (docs/cups.md) against the data folder's\n"
    "           catalogue: one line a file; status 1 when one is refused\n"
    "\n"
    "  --data DIR  the data folder (default: filut beside this program)\n"
    "  --help      this text\n"
    "  --version   the version\n"
    "\n"
    "Usage errors exit with status 2. See docs/tracks.md.\n";

// What the kit loaded itself, so that it frees only that; whole run.
static struct {
    bool font = false, marker = false, finish = false, tiles = false, balls = false;
} loaded;

// Found as the game finds its own: beside the program, in the installed
// share/chainball/, in the working directory.
std::string kit_default_data_folder() {
    const std::string found = locate_data_folder();
    return found.empty() ? "filut" : found;
}

// The game's own reading of its pictures, with its size limits.
static SDL_Surface* picture(const std::string& folder, const char* name, picture_limit limit, std::string& why) {
    SDL_Surface* s = load_picture(folder + "/" + name, limit, why);
    if (!s) why = "data file " + why;
    return s;
}

bool kit_open_data(const std::string& folder, std::string& why) {
    if (!small_font) {
        if (!TTF_WasInit() && TTF_Init() != 0) {
            why = "cannot start SDL_ttf";
            return false;
        }
        const std::string font = folder + "/VeraMoBd.ttf";
        std::string cause;
        FILE* f = open_regular_file(font.c_str(), 64 << 20, cause);
        if (f) std::fclose(f);
        small_font = f ? TTF_OpenFont(font.c_str(), 12) : nullptr;
        if (!small_font) {
            why = "data file " + printable(font, 200) + ": " + (f ? "not a font SDL_ttf can read" : cause);
            return false;
        }
        loaded.font = true;
    }
    if (!marker_idle) {
        if (!(marker_idle = picture(folder, "donut.png", OTHER_PICTURE, why))) return false;
        loaded.marker = true;
    }
    if (!finish_image) {
        if (!(finish_image = picture(folder, "maali.png", OTHER_PICTURE, why))) return false;
        loaded.finish = true;
    }
    if (!tile_pieces[0]) {
        SDL_Surface* atlas = picture(folder, "set.png", OTHER_PICTURE, why);
        if (!atlas) return false;
        cut_atlas(atlas);
        loaded.tiles = true;
    }
    if (!rotated_images[0][0]) {
        static const char* const names[4] = {"pallura1.png", "pallura2.png", "pallura3.png", "pallura4.png"};
        SDL_Surface* images[4] = {};
        bool all = true;
        for (int i = 0; i < 4; i++) all = all && (images[i] = picture(folder, names[i], BALL_PICTURE, why)) != nullptr;
        build_rotation_tables(images);   // frees the sources
        loaded.balls = true;
        if (!all) return false;
    }
    return true;
}

void kit_close_data() {
    if (loaded.balls) free_rotation_tables();
    if (loaded.tiles) free_tile_pieces();
    if (loaded.finish) SDL_FreeSurface(finish_image), finish_image = nullptr;
    if (loaded.marker) SDL_FreeSurface(marker_idle), marker_idle = nullptr;
    if (loaded.font) TTF_CloseFont(small_font), small_font = nullptr;
    loaded.balls = loaded.tiles = loaded.finish = loaded.marker = loaded.font = false;
}

void print_findings(const track_report& r, FILE* out) {
    const std::string file = printable(r.path, 200);
    for (const finding& f : r.findings)
        std::fprintf(out, "%s:%d:%d: %s: %s\n", file.c_str(), f.row, f.col, f.error ? "error" : "warning",
                     f.message.c_str());
    const int e = r.count(true), w = r.count(false);
    std::fprintf(out, "%s: %s, %d error%s, %d warning%s\n", file.c_str(), e ? "not raceable" : "raceable", e,
                 e == 1 ? "" : "s", w, w == 1 ? "" : "s");
}

// The shortcut ratio.
static void print_shortcut_ratio(const track_figures& f, FILE* out) {
    if (f.shortcut_ratio >= 0)
        std::fprintf(out, "  shortcut ratio  %.2f (%.1f cells off slowing cells, %.1f on the road)\n",
                     f.shortcut_ratio, f.open_way, f.road_way);
    else if (f.checkpoints == 0)
        std::fprintf(out, "  shortcut ratio  not measurable (no checkpoint)\n");
    else
        std::fprintf(out, "  shortcut ratio  not measurable (no way round on road cells alone: slowing cells "
                          "cut the road)\n");
}

// What cutting across open ground gains under one rule.
static void print_cut_figures(const rule_figures& f, FILE* out) {
    for (int c = 0; c < CUT_CHAINS; c++) {
        std::fprintf(out, "  cut gain %2d     ", cut_chains[c]);
        if (f.cut_gain[c] != CUT_NOT_MEASURED)
            std::fprintf(out,
                         "%+.1f %% (best laps: %.2f s cutting, %.2f s on the road; in its best lap the "
                         "cutting head stood %d steps on grass, %d on slowing cells)\n",
                         f.cut_gain[c], f.cut_lap[c], f.road_lap[c], f.cut_grass_steps[c], f.cut_slowing_steps[c]);
        else if (f.road_lap[c] < 0)
            std::fprintf(out, "not measurable (the road-following driver makes no lap)\n");
        else
            std::fprintf(out, "not measurable (the cutting driver makes no lap%s)\n",
                         f.cut_skips >= 0 ? ": it skips a checkpoint" : "");
    }
}

// Where the cuts across slowing cells are.
static void print_mud_cuts(const track_figures& f, FILE* out) {
    if (f.mud_cuts == 0)
        std::fprintf(out, "  mud cut         none\n");
    else {
        std::fprintf(out, "  mud cut         from ");
        for (size_t m = 0; m < f.mud_cut_cells.size(); m++) {
            const int a = f.mud_cut_cells[m].first, b = f.mud_cut_cells[m].second;
            std::fprintf(out, "%s%s to %s", m ? ", " : "", cell_name(a / f.size, a % f.size).c_str(),
                         cell_name(b / f.size, b % f.size).c_str());
        }
        std::fprintf(out, "\n");
    }
}

// What the mud cuts gain under one rule.
static void print_mud_cut_figures(const rule_figures& f, int mud_cuts, FILE* out) {
    for (int c = 0; c < CUT_CHAINS && mud_cuts > 0; c++) {
        std::fprintf(out, "  mud cut  %2d     ", cut_chains[c]);
        if (f.mud_gain[c] != CUT_NOT_MEASURED)
            std::fprintf(out, "%+.1f %% (%d cut%s; best laps: %.2f s across the mud, %.2f s round by the road)\n",
                         f.mud_gain[c], mud_cuts, mud_cuts == 1 ? "" : "s", f.across_lap[c], f.round_lap[c]);
        else
            std::fprintf(out, "not measurable (%d cut%s; the driver makes no lap %s)\n", mud_cuts,
                         mud_cuts == 1 ? "" : "s", f.round_lap[c] < 0 ? "round by the road" : "across the mud");
    }
}

// The laps and gains under one off-road rule.
static void print_rule_figures(const track_figures& t, int off_road, FILE* out) {
    const rule_figures& f = t.rule[off_road];
    std::fprintf(out, "  off-road %s%s\n", kit_rule_names[off_road],
                 off_road == OFF_ROAD_SLOWS ? " (the full game's rule: plain ground slows a head)"
                                            : " (the classic game's rule: plain ground is as fast as road)");
    if (f.lap_seconds >= 0)
        std::fprintf(out, "  computer lap    %.2f s\n", f.lap_seconds);
    else if (f.lap_seconds == LAP_NOT_MEASURABLE)
        std::fprintf(out, "  computer lap    not measurable (no checkpoint)\n");
    else
        std::fprintf(out, "  computer lap    none in %d s\n", LAP_GIVE_UP_SECONDS);
    if (f.driver_lap_seconds[0] != LAP_NOT_MEASURABLE) {
        std::fprintf(out, "  7-ball laps     ");
        for (int d = 0; d < 3; d++) {
            if (f.driver_lap_seconds[d] >= 0)
                std::fprintf(out, " %s %.2f s%s", difficulty_label(d), f.driver_lap_seconds[d], d < 2 ? "," : "\n");
            else
                std::fprintf(out, " %s none%s", difficulty_label(d), d < 2 ? "," : "\n");
        }
    }
    print_cut_figures(f, out);
    print_mud_cut_figures(f, t.mud_cuts, out);
}

void print_figures(const track_report& r, FILE* out) {
    const track_figures& f = r.figures;
    std::fprintf(out, "%s\n", printable(r.path, 200).c_str());
    if (!f.measured) {
        std::fprintf(out, "  not measured: the file has errors (chainball-track check lists them)\n");
        return;
    }
    std::fprintf(out, "  size            %d x %d cells\n", f.size, f.size);
    std::fprintf(out, "  route           %.0f px, %d waypoints, %d checkpoint%s\n", f.route_px, f.waypoints,
                 f.checkpoints, f.checkpoints == 1 ? "" : "s");
    std::fprintf(out, "  direction       %s\n", f.clockwise ? "clockwise" : "anticlockwise");
    std::fprintf(out, "  finish          on the %s road\n", f.finish_side);
    if (f.wide_cells > 0)
        std::fprintf(out, "  road            two cells wide; three in the full game along %d lane cell%s\n",
                     f.wide_cells, f.wide_cells == 1 ? "" : "s");
    else
        std::fprintf(out, "  road            two cells wide\n");
    print_shortcut_ratio(f, out);
    print_mud_cuts(f, out);
    for (int off_road = 0; off_road < KIT_RULES; off_road++) print_rule_figures(f, off_road, out);
    std::fprintf(out, "  start grid      room for %d of %d balls; ", f.grid_balls, MAX_BALLS);
    if (f.grid_overlap >= 0)
        std::fprintf(out, "on checkpoint %d's marker\n", f.grid_overlap + 1);
    else
        std::fprintf(out, "on no checkpoint marker\n");
    std::fprintf(out, "  view            %s the %d x %d-cell view\n",
                 f.size < f.view_cells ? "smaller than" : "fills", f.view_cells, f.view_cells);
    std::fprintf(out, "  name            \"%s\", %d of %d px%s\n", printable(f.name).c_str(), f.name_pixels,
                 f.name_room, f.name_pixels > f.name_room ? ": too wide" : "");
}

static std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

static void json_number(double v, bool given, const char* format, FILE* out) {
    if (given)
        std::fprintf(out, format, v);
    else
        std::fprintf(out, "null");
}

// The figures of one off-road rule, as members of an object.
static void print_rule_json(const rule_figures& f, int mud_cuts, FILE* out) {
    std::fprintf(out, "\"lap_seconds\": ");
    json_number(f.lap_seconds, f.lap_seconds >= 0, "%.2f", out);
    for (int d = 0; d < 3; d++) {
        std::fprintf(out, ", \"%s_lap_seconds\": ", difficulty_name(d));
        json_number(f.driver_lap_seconds[d], f.driver_lap_seconds[d] >= 0, "%.2f", out);
    }
    std::fprintf(out, ", \"cut_gain\": {");
    for (int c = 0; c < CUT_CHAINS; c++) {
        std::fprintf(out, "%s\"%d\": {\"gain_percent\": ", c ? ", " : "", cut_chains[c]);
        json_number(f.cut_gain[c], f.cut_gain[c] != CUT_NOT_MEASURED, "%.3f", out);
        std::fprintf(out, ", \"road_lap\": ");
        json_number(f.road_lap[c], f.road_lap[c] >= 0, "%.2f", out);
        std::fprintf(out, ", \"cut_lap\": ");
        json_number(f.cut_lap[c], f.cut_lap[c] >= 0, "%.2f", out);
        std::fprintf(out, ", \"grass_steps\": %d, \"slowing_steps\": %d}", f.cut_grass_steps[c],
                     f.cut_slowing_steps[c]);
    }
    std::fprintf(out, "}, \"cut_skips_checkpoint\": %d, \"mud_cuts\": %d, \"mud_cut\": {", f.cut_skips + 1, mud_cuts);
    for (int c = 0; c < CUT_CHAINS; c++) {
        std::fprintf(out, "%s\"%d\": {\"gain_percent\": ", c ? ", " : "", cut_chains[c]);
        json_number(f.mud_gain[c], f.mud_gain[c] != CUT_NOT_MEASURED, "%.3f", out);
        std::fprintf(out, ", \"round_lap\": ");
        json_number(f.round_lap[c], f.round_lap[c] >= 0, "%.2f", out);
        std::fprintf(out, ", \"across_lap\": ");
        json_number(f.across_lap[c], f.across_lap[c] >= 0, "%.2f", out);
        std::fprintf(out, "}");
    }
    std::fprintf(out, "}");
}

// The Free figures stand at the top, as before the rule; the Slows ones in
// "slows".
void print_figures_json(const std::vector<track_report>& reports, FILE* out) {
    std::fprintf(out, "[");
    for (size_t i = 0; i < reports.size(); i++) {
        const track_report& r = reports[i];
        const track_figures& f = r.figures;
        std::fprintf(out, "%s\n  {\"file\": %s, \"errors\": %d, \"warnings\": %d, \"measured\": %s", i ? "," : "",
                     json_string(r.path).c_str(), r.count(true), r.count(false), f.measured ? "true" : "false");
        if (f.measured) {
            std::fprintf(out,
                         ", \"name\": %s, \"size\": %d, \"route_px\": %.0f, \"waypoints\": %d, "
                         "\"checkpoints\": %d, \"direction\": \"%s\", \"finish_side\": \"%s\", "
                         "\"wide_cells\": %d, ",
                         json_string(f.name).c_str(), f.size, f.route_px, f.waypoints, f.checkpoints,
                         f.clockwise ? "clockwise" : "anticlockwise", f.finish_side, f.wide_cells);
            print_rule_json(f.rule[OFF_ROAD_FREE], f.mud_cuts, out);
            std::fprintf(out, ", \"slows\": {");
            print_rule_json(f.rule[OFF_ROAD_SLOWS], f.mud_cuts, out);
            std::fprintf(out, "}, \"shortcut_ratio\": ");
            if (f.shortcut_ratio >= 0)
                std::fprintf(out, "%.4f, \"open_way\": %.3f, \"road_way\": %.3f", f.shortcut_ratio, f.open_way,
                             f.road_way);
            else
                std::fprintf(out, "null");
            std::fprintf(out,
                         ", \"grid_balls\": %d, \"grid_on_checkpoint\": %d, \"view_cells\": %d, "
                         "\"smaller_than_view\": %s, \"name_pixels\": %d, \"name_room\": %d",
                         f.grid_balls, f.grid_overlap >= 0 ? f.grid_overlap + 1 : 0, f.view_cells,
                         f.size < f.view_cells ? "true" : "false", f.name_pixels, f.name_room);
        }
        std::fprintf(out, "}");
    }
    std::fprintf(out, "\n]\n");
}

void print_limits(FILE* out) {
    std::fprintf(out, "| Figure | Limit, off-road free | Limit, off-road slows | check warns when |\n"
                      "|---|---|---|---|\n");
    for (const design_limit& l : design_limits) {
        std::fprintf(out, "| %s | %g | ", l.figure, l.value);
        if (l.slows_value == LIMIT_NOT_HELD)
            std::fprintf(out, "not held");
        else
            std::fprintf(out, "%g", l.slows_value);
        std::fprintf(out, " | %s |\n", l.rule);
    }
}

static int usage_error(FILE* err, const std::string& why) {
    return cli_usage_error(err, "chainball-track", why);
}

// The usage error of a command line that could not be read.
static int parse_error(const CLI::App& app, const std::string& command, const std::string& why,
                       const std::string& missing, FILE* err) {
    const std::vector<std::string> extra = cli_unknown(app);
    if (command.empty() && !extra.empty() && (extra[0].empty() || extra[0][0] != '-'))
        return usage_error(err, "unknown command '" + printable(extra[0]) + "'");
    if (missing == "--data") return usage_error(err, "--data needs a folder");
    if (missing == "-o") return usage_error(err, "-o needs a file name");
    if (missing == "--scale") return usage_error(err, "--scale needs a number");
    if (missing == "--seed") return usage_error(err, "--seed needs a number");
    return usage_error(err, command.empty() ? why : why + " for " + command);
}

// render's --scale and --seed, where given; false with the reason in `bad`.
static bool read_render_numbers(bool scale_given, const std::string& scale_text, bool seed_given,
                                const std::string& seed_text, double& scale, unsigned& seed, std::string& bad) {
    if (scale_given) {
        char* end = nullptr;
        scale = std::strtod(scale_text.c_str(), &end);
        if (scale_text.empty() || *end || !(scale > 0 && scale <= 1)) {
            bad = "--scale needs a number above 0 and at most 1, got '" + printable(scale_text) + "'";
            return false;
        }
    }
    if (seed_given) {
        char* end = nullptr;
        const unsigned long n = std::strtoul(seed_text.c_str(), &end, 10);
        if (seed_text.empty() || *end || seed_text[0] == '-' || n > 0xffffffffUL) {
            bad = "--seed needs a whole number from 0 to 4294967295, got '" + printable(seed_text) + "'";
            return false;
        }
        seed = (unsigned)n;
    }
    return true;
}

// check and stats: every file read and reported; the exit status.
static int report_tracks(const std::string& command, const std::vector<std::string>& files, bool json,
                         FILE* out) {
    int status = 0;
    std::vector<track_report> reports(files.size());
    for (size_t i = 0; i < files.size(); i++) {
        check_track(files[i], reports[i]);
        if (reports[i].count(true) > 0) status = 1;
        if (command == "check") print_findings(reports[i], out);
        else if (!json) print_figures(reports[i], out);
    }
    if (command == "stats") {
        if (json) print_figures_json(reports, out);
        status = 0;   // stats reports what it could measure
        for (const track_report& r : reports)
            if (!r.figures.measured) status = 1;
    }
    return status;
}

// cup: each cup file read as the game reads it, against the data folder's catalogue.
static int check_cup_files(const std::string& data, const std::vector<std::string>& files, FILE* out, FILE* err) {
    read_catalogue((data + "/levelit/all_levels.txt").c_str());
    int status = 0;
    for (const std::string& file : files) {
        std::vector<cup_def> cups;
        std::string why;
        if (!read_cups(file, catalogue_tracks(), cups, why)) {
            std::fprintf(err, "chainball-track: %s\n", why.c_str());
            status = 1;
            continue;
        }
        size_t tracks = 0;
        for (const cup_def& c : cups) tracks += c.tracks.size();
        std::fprintf(out, "%s: %zu cups, %zu tracks: ok\n", printable(file, 200).c_str(), cups.size(), tracks);
    }
    return status;
}

int track_kit_main(int argc, const char* const* argv, FILE* out, FILE* err) {
    if (argc < 2) {
        // Nothing asked: what can be asked.
        std::fprintf(err, "chainball-track: no command given\n%s", kit_usage);
        return 2;
    }
    CLI::App app;
    cli_setup(app, "chainball-track");
    std::vector<std::string> files;
    std::string data = kit_default_data_folder(), out_file, scale_text, seed_text;
    bool json = false, route = false, full = false;
    app.add_subcommand("help");
    CLI::App* commands[] = {app.add_subcommand("check"), app.add_subcommand("stats"),
                            app.add_subcommand("render"), app.add_subcommand("limits"),
                            app.add_subcommand("cup")};
    for (CLI::App* c : commands) {
        if (c->get_name() == "limits") continue;
        c->add_option("--data", data);
        c->add_option("files", files);
    }
    commands[1]->add_flag("--json", json);
    commands[2]->add_flag("--route", route);
    commands[2]->add_flag("--full", full);
    commands[2]->add_option("-o", out_file);
    const CLI::Option* scale_given = commands[2]->add_option("--scale", scale_text);
    const CLI::Option* seed_given = commands[2]->add_option("--seed", seed_text);
    // A track file after `limits` is refused below, not taken as unknown.
    commands[3]->add_option("files", files);

    std::string why, missing;
    const cli_outcome parsed = cli_parse(app, argc, argv, why, missing);
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    const std::string command = chosen.empty() ? "" : chosen[0]->get_name();
    if (parsed == CLI_HELP || command == "help") {
        std::fprintf(out, "%s%s", kit_usage, kit_help);
        return 0;
    }
    if (parsed == CLI_VERSION) {
        std::fprintf(out, "chainball-track %s\n", chainball_version());
        return 0;
    }
    if (parsed == CLI_ERROR) return parse_error(app, command, why, missing, err);
    if (command.empty()) return usage_error(err, "no command given");
    double scale = 1;
    unsigned seed = 1;
    std::string bad;
    if (!read_render_numbers(scale_given->count() > 0, scale_text, seed_given->count() > 0, seed_text, scale, seed,
                             bad))
        return usage_error(err, bad);
    if (command == "limits") {
        if (!files.empty()) return usage_error(err, "limits takes no file");
        print_limits(out);
        return 0;
    }
    if (files.empty()) return usage_error(err, "no track file given");
    if (command == "render" && files.size() != 1) return usage_error(err, "render draws one track file");
    if (command == "render" && out_file.empty()) return usage_error(err, "render needs -o OUT.png");
    if (command == "cup") return check_cup_files(data, files, out, err);

    if (!kit_open_data(data, why)) {
        std::fprintf(err, "chainball-track: %s\n", why.c_str());
        kit_close_data();
        return 2;
    }
    int status = 0;
    if (command == "render") {
        full_game = full;   // the look the tiles draw with; nothing else in the kit reads it
        if (!render_track(files[0], out_file, route, scale, seed, why)) {
            std::fprintf(err, "chainball-track: %s\n", why.c_str());
            status = 1;
        }
    } else {
        status = report_tracks(command, files, json, out);
    }
    kit_close_data();
    return status;
}
