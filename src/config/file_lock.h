// SPDX-License-Identifier: GPL-3.0-or-later
// The lock two games running at once take before they re-read and rewrite
// a file they share (the settings, the records): an flock on PATH.lock
// beside it, waited for a bounded time, never for ever.
#pragma once

#include <cstdio>
#include <string>

// How long a save waits for another game to finish its own.
constexpr int LOCK_WAIT_MS = 2000;

// Takes the lock beside `path`, making its folder when missing, waiting at
// most `wait_ms`. The lock's descriptor, or -1 with the cause in `why`.
int lock_beside(const std::string& path, int wait_ms, std::string& why);
// Gives it back.
void unlock_beside(int fd);

// The lock a save takes, waited for LOCK_WAIT_MS; when it is not free in
// time, one line on `err` ("chainball: WHAT PATH not saved: WHY; LATER")
// and -1.
int lock_for_saving(const std::string& path, const char* what, const char* later, FILE* err);

// What saving a shared file came to.
enum class save_result { written, locked, failed };
