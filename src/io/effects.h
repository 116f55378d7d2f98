// SPDX-License-Identifier: GPL-3.0-or-later
// The full game's sound effects: loaded once at start-up of the full game
// when the audio opened, played by name from the screens, freed at
// shut-down. Without them (the classic game, no audio device, a file that
// cannot be read) every call here is silent. The music plays on mixer
// channel 0 and the slowing cells' loop on channel 1; the effects share the
// channels after them.
#pragma once

#include <cstdio>

enum SoundEffect {
    EFFECT_COUNTDOWN, EFFECT_GO, EFFECT_BUMP, EFFECT_CHECKPOINT, EFFECT_LAP, EFFECT_FINAL_LAP,
    EFFECT_FINISH, EFFECT_RECORD, EFFECT_MENU_MOVE, EFFECT_MENU_CHOOSE, EFFECT_COUNT
};

// The loudest an effect is played: SDL_mixer's full volume.
constexpr int EFFECT_FULL = 128;
// The volume settings' steps: 0 (silent) to 10 (full), 10 % each.
constexpr int VOLUME_STEPS = 10;

// After Mix_OpenAudio: reserves the music's and the loop's channels and
// reads filut/sounds/. Each file that cannot be used gives one line to `err`
// and stays silent. Does nothing when the audio did not open.
void load_effects(FILE* err);
// Before Mix_CloseAudio.
void free_effects();
bool effects_loaded();

// Plays `effect` once at `loudness` (0 to EFFECT_FULL) of the effects volume.
void play_effect(SoundEffect effect, int loudness = EFFECT_FULL);
// A menu's click for a key pressed on it (an SDLKey): Enter chooses, the
// arrows move the cursor or change a value; other keys are silent.
void menu_key_effect(int key);
// The slowing cells' rumble: faded in when turned on, out when off. Cheap
// to call every frame.
void surface_loop(bool on);

// The two volume settings, 0 to VOLUME_STEPS each, applied at once.
void set_volumes(int music, int effects);
