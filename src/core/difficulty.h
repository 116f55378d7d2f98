// SPDX-License-Identifier: GPL-3.0-or-later
// Who drives the computer racers: the one type for the race, its set-up,
// the settings file, the menus and the tools, with the one table of names.
#pragma once

#include <string>

enum Difficulty : int { DIFFICULTY_CLASSIC = 0, DIFFICULTY_GOOD = 1, DIFFICULTY_EXPERT = 2 };
constexpr int DIFFICULTIES = 3;

namespace difficulty_table {
// The settings file's and the command lines' words, and the menus' labels.
constexpr const char* WORDS[DIFFICULTIES] = {"classic", "good", "expert"};
constexpr const char* LABELS[DIFFICULTIES] = {"Classic", "Good", "Expert"};
}  // namespace difficulty_table

// Any value outside the three is Classic, as the race takes it.
inline Difficulty difficulty_of(int value) {
    return value == DIFFICULTY_GOOD || value == DIFFICULTY_EXPERT ? (Difficulty)value : DIFFICULTY_CLASSIC;
}
inline const char* difficulty_name(int d) { return difficulty_table::WORDS[difficulty_of(d)]; }
inline const char* difficulty_label(int d) { return difficulty_table::LABELS[difficulty_of(d)]; }
// "classic", "good", "expert" to the value; false for any other word.
inline bool parse_difficulty(const std::string& word, int& difficulty) {
    for (int d = 0; d < DIFFICULTIES; d++)
        if (word == difficulty_table::WORDS[d]) {
            difficulty = d;
            return true;
        }
    return false;
}
