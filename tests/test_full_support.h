// SPDX-License-Identifier: GPL-3.0-or-later
// The full game (chainball --extras) for one test: its settings and user
// files in scratch folders, everything it changes put back afterwards.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "harness.h"
#include "io/bindings.h"
#include "menu/full_game.h"
#include "menu/trial.h"

// The full game for one test, with its settings file in a scratch folder;
// everything the full game changes is put back afterwards.
struct FullGame {
    FullGameRun* run = nullptr;   // the tests' screens run on it
    std::string config_home = scratch_dir();
    std::string data_home = scratch_dir();
    std::string saved_xdg, saved_data;
    bool had_xdg, had_data;
    FullGame() {
        const char* x = std::getenv("XDG_CONFIG_HOME");
        had_xdg = x != nullptr;
        if (x) saved_xdg = x;
        const char* d = std::getenv("XDG_DATA_HOME");
        had_data = d != nullptr;
        if (d) saved_data = d;
        setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
        setenv("XDG_DATA_HOME", data_home.c_str(), 1);
        start_game_headless();
        full_game = true;
        key_bindings = default_key_bindings();
        run = &test_full_run();
        *run = FullGameRun();
        apply_full_settings(*run, game_config(), stderr);   // as a start with no settings file
    }
    ~FullGame() {
        full_game = false;
        key_bindings = default_key_bindings();
        waiting_for_binding = false;
        if (had_xdg)
            setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        if (had_data)
            setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        start_game_headless();
    }
    std::string file() const { return config_home + "/chainball/chainball.toml"; }
    bool file_exists() const {
        struct stat st;
        return stat(file().c_str(), &st) == 0;
    }
};

