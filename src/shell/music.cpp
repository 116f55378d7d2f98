// SPDX-License-Identifier: GPL-3.0-or-later
// The music decode thread and handing its chunk to the main thread.
#include "shell/music.h"

#include <SDL/SDL_mixer.h>
#include <SDL/SDL_thread.h>

#include <atomic>

#include "core/state.h"
#include "io/media.h"

// From start_music_decode() until the chunk is taken (or shut-down).
static SDL_Thread* decoder = nullptr;
static const char* decode_path = nullptr;
static Mix_Chunk* decoded = nullptr;            // written by the thread, read after `done`
static std::atomic<bool> done{false};

static int decode(void*) {
    decoded = Mix_LoadWAV_RW(SDL_RWFromFile(decode_path, "rb"), 1);
    done.store(true, std::memory_order_release);
    return 0;
}

// The decoded chunk becomes the music, as start-up always played it.
static void take_chunk() {
    SDL_WaitThread(decoder, nullptr);
    decoder = nullptr;
    music_chunk = decoded;
    decoded = nullptr;
    if (music_chunk && race_settings.music_on) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
}

void start_music_decode(const char* path) {
    decode_path = path;
    done.store(false);
    decoder = SDL_CreateThread(decode, nullptr);
    if (decoder) return;
    music_chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path, "rb"), 1);
    if (music_chunk && race_settings.music_on) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
}

void poll_music() {
    if (decoder && done.load(std::memory_order_acquire)) take_chunk();
}

void wait_for_music() {
    if (decoder) take_chunk();
}

void free_music() {
    if (decoder) {
        SDL_WaitThread(decoder, nullptr);
        decoder = nullptr;
        Mix_FreeChunk(decoded);
        decoded = nullptr;
    }
    Mix_FreeChunk(music_chunk);
    music_chunk = nullptr;
}
