// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the track files only.
#pragma once

#include <cstdio>

#include "track/track.h"

// Level and catalogue files are read one character at a time with whitespace
// skipped (space, tab, line feed, carriage return, vertical tab, form feed).
// Returns false at the end of the file and then leaves `c` as it was.
bool read_nonblank(FILE* f, char& c);

// Code of the cell at column x, row y; 0 for places outside the array.
int tile_at(const Track& track, int x, int y);

// True when (x, y) holds a corner code (8 to 11) and its diagonal neighbour
// (x + 1, y + 1) the same: the top-left cell of a 2 x 2 corner block, the
// only cell that turns the route walk and draws the corner.
bool is_corner_cell(const Track& track, int x, int y);

// The route walk of load_level_file: from the finish cell, heading up, until
// it has passed track.straight_count straights; refills the waypoints and
// checkpoints. The track check also runs it on its own.
void walk_route(Track& track);
