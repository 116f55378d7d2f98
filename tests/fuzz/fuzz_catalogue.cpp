// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue reader on any bytes: names must stay inside their table and
// every stored name must be terminated.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "track/track.h"

static const char* scratch_path() {
    static char path[64] = "";
    if (!path[0]) snprintf(path, sizeof path, "/tmp/chainball-fuzz-catalogue-%d.txt", (int)getpid());
    return path;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fopen(scratch_path(), "wb");
    if (!f) abort();
    if (size) fwrite(data, 1, size, f);
    fclose(f);
    read_catalogue(scratch_path());
    if (last_level_index < -1 || last_level_index >= MAX_LEVELS) abort();
    for (int i = 0; i < MAX_LEVELS; i++)
        if (memchr(level_names[i], 0, LEVEL_NAME_LEN) == nullptr) abort();
    return 0;
}
