// SPDX-License-Identifier: GPL-3.0-or-later
// Character-at-a-time reading of level and catalogue files.
#include "track/track_local.h"

bool read_nonblank(FILE* f, char& c) {
    for (;;) {
        int ch = std::fgetc(f);
        if (ch == EOF) return false;
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f')
            continue;
        c = (char)ch;
        return true;
    }
}
