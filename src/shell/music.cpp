// SPDX-License-Identifier: GPL-3.0-or-later
// The music decode thread and handing its chunk to the main thread.
#include "shell/music.h"

#include <SDL/SDL_mixer.h>
#include <SDL/SDL_thread.h>

#include <atomic>

#include "core/state.h"
#include "io/media.h"

// The decoding thread's hand-over: from start_music_decode() until the
// chunk is taken (or shut-down).
static struct {
    SDL_Thread* thread = nullptr;
    const char* path = nullptr;
    Mix_Chunk* chunk = nullptr;       // written by the thread, read after `done`
    std::atomic<bool> done{false};
} decoding;

static int decode(void*) {
    decoding.chunk = Mix_LoadWAV_RW(SDL_RWFromFile(decoding.path, "rb"), 1);
    decoding.done.store(true, std::memory_order_release);
    return 0;
}

// The decoded chunk becomes the music, as start-up always played it.
static void take_chunk() {
    SDL_WaitThread(decoding.thread, nullptr);
    decoding.thread = nullptr;
    music_chunk = decoding.chunk;
    decoding.chunk = nullptr;
    if (music_chunk && race_settings.music_on) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
}

void start_music_decode(const char* path) {
    decoding.path = path;
    decoding.done.store(false);
#ifndef __EMSCRIPTEN__
    // The web's SDL has no threads: there the music is decoded here.
    decoding.thread = SDL_CreateThread(decode, nullptr);
    if (decoding.thread) return;
#endif
    music_chunk = Mix_LoadWAV_RW(SDL_RWFromFile(path, "rb"), 1);
    if (music_chunk && race_settings.music_on) Mix_PlayChannelTimed(0, music_chunk, -1, -1);
}

void poll_music() {
    if (decoding.thread && decoding.done.load(std::memory_order_acquire)) take_chunk();
}

void wait_for_music() {
    if (decoding.thread) take_chunk();
}

void free_music() {
    if (decoding.thread) {
        SDL_WaitThread(decoding.thread, nullptr);
        decoding.thread = nullptr;
        Mix_FreeChunk(decoding.chunk);
        decoding.chunk = nullptr;
    }
    Mix_FreeChunk(music_chunk);
    music_chunk = nullptr;
}
