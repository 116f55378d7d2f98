// SPDX-License-Identifier: GPL-3.0-or-later
// The music, decoded on a thread of its own while the menu already runs,
// and played from the main thread once it is ready (SDL_mixer's playing
// calls are not safe from two threads). music_chunk stays null until then.
#pragma once

// Starts decoding `path` (after Mix_OpenAudio). When no thread can be made
// the file is decoded here and now.
void start_music_decode(const char* path);

// On the main thread, once a frame: when the decode has ended, takes its
// chunk into music_chunk and plays it if the music is on. Cheap otherwise.
void poll_music();

// Waits for the decode to end and then does what poll_music() does.
void wait_for_music();

// At shut-down, before Mix_CloseAudio: waits for a decode still running,
// frees the chunk.
void free_music();
