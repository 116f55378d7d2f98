// SPDX-License-Identifier: GPL-3.0-or-later
// The effects' chunks and channels on SDL_mixer.
#include "io/effects.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

#include <string>

#include "core/files.h"

namespace {
const char* const EFFECT_FILES[EFFECT_COUNT] = {
    "countdown.wav", "go.wav",    "bump.wav",   "checkpoint.wav", "lap.wav",
    "final_lap.wav", "finish.wav", "record.wav", "menu_move.wav",  "menu_choose.wav",
};
const char* const SURFACE_FILE = "surface_loop.wav";
// Our effects are well under a megabyte each.
constexpr long long MAX_EFFECT_BYTES = 4 << 20;
constexpr int MUSIC_CHANNEL = 0, SURFACE_CHANNEL = 1, RESERVED_CHANNELS = 2, CHANNELS = 12;
constexpr int SURFACE_FADE_IN_MS = 150, SURFACE_FADE_OUT_MS = 250;
// The rumble sits under the other effects.
constexpr int SURFACE_LOUDNESS = 80;
}  // namespace

// Loaded at start-up, freed at shut-down; the volumes as last set.
static struct {
    Mix_Chunk* chunks[EFFECT_COUNT] = {};
    Mix_Chunk* surface = nullptr;
    bool loaded = false;
    bool surface_on = false;
    int effects_volume = MIX_MAX_VOLUME;
} effects;

static Mix_Chunk* load_one(const char* name, FILE* err) {
    const std::string path = data_path(std::string("sounds/") + name);
    std::string why;
    FILE* f = open_regular_file(path.c_str(), MAX_EFFECT_BYTES, why);
    if (f) {
        std::fclose(f);
        Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path.c_str(), "rb"), 1);
        if (chunk) return chunk;
        why = Mix_GetError();
    }
    std::fprintf(err, "chainball: sound effect %s: %s; playing without it\n", printable(path, 200).c_str(),
                 why.c_str());
    return nullptr;
}

void load_effects(FILE* err) {
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (effects.loaded || !Mix_QuerySpec(&rate, &format, &channels)) return;
    Mix_AllocateChannels(CHANNELS);
    Mix_ReserveChannels(RESERVED_CHANNELS);
    for (int i = 0; i < EFFECT_COUNT; i++) effects.chunks[i] = load_one(EFFECT_FILES[i], err);
    effects.surface = load_one(SURFACE_FILE, err);
    effects.loaded = true;
}

void free_effects() {
    if (!effects.loaded) return;
    // Every channel but the music's may be playing one of them.
    for (int c = SURFACE_CHANNEL; c < Mix_AllocateChannels(-1); c++) Mix_HaltChannel(c);
    for (Mix_Chunk*& c : effects.chunks) {
        Mix_FreeChunk(c);
        c = nullptr;
    }
    Mix_FreeChunk(effects.surface);
    effects.surface = nullptr;
    effects.loaded = false;
    effects.surface_on = false;
}

bool effects_loaded() { return effects.loaded; }

static int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

void play_effect(SoundEffect effect, int loudness) {
    if (!effects.loaded || effect < 0 || effect >= EFFECT_COUNT || !effects.chunks[effect]) return;
    const int volume = effects.effects_volume * clamp(loudness, 0, EFFECT_FULL) / EFFECT_FULL;
    if (volume == 0) return;
    const int channel = Mix_PlayChannel(-1, effects.chunks[effect], 0);
    if (channel >= 0) Mix_Volume(channel, volume);
}

void menu_key_effect(int key) {
    if (key == SDLK_RETURN || key == SDLK_KP_ENTER) play_effect(EFFECT_MENU_CHOOSE);
    if (key == SDLK_UP || key == SDLK_DOWN || key == SDLK_LEFT || key == SDLK_RIGHT) play_effect(EFFECT_MENU_MOVE);
}

void surface_loop(bool on) {
    if (!effects.loaded || !effects.surface || on == effects.surface_on) return;
    effects.surface_on = on;
    if (on) {
        Mix_Volume(SURFACE_CHANNEL, effects.effects_volume * SURFACE_LOUDNESS / EFFECT_FULL);
        Mix_FadeInChannel(SURFACE_CHANNEL, effects.surface, -1, SURFACE_FADE_IN_MS);
    } else {
        Mix_FadeOutChannel(SURFACE_CHANNEL, SURFACE_FADE_OUT_MS);
    }
}

void set_volumes(int music, int effects_steps) {
    effects.effects_volume = clamp(effects_steps, 0, VOLUME_STEPS) * MIX_MAX_VOLUME / VOLUME_STEPS;
    int rate = 0, channels = 0;
    Uint16 format = 0;
    if (!Mix_QuerySpec(&rate, &format, &channels)) return;
    Mix_Volume(MUSIC_CHANNEL, clamp(music, 0, VOLUME_STEPS) * MIX_MAX_VOLUME / VOLUME_STEPS);
    if (effects.surface_on) Mix_Volume(SURFACE_CHANNEL, effects.effects_volume * SURFACE_LOUDNESS / EFFECT_FULL);
}
