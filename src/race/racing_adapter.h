// SPDX-License-Identifier: GPL-3.0-or-later
// Where the Good and Expert drivers meet the race: the one place that reads
// the race's racers, balls and checkpoint flags for them. The race's
// difficulty chooses them for the computer racers 2 and 3; Classic keeps the
// drivers of race/drivers.cpp. Their memories are the race's (Race::drivers),
// their racing lines the track's, built at set-up for the race's chains and
// off-road rule.
#pragma once

#include "race/race.h"

// At set-up, after the placement: the racing lines of the race's Good or
// Expert drivers into `track` (none for Classic).
void prepare_racing_lines(const Race& race, Track& track);

// The line racer r (1 or 2) drives by when a Good or Expert driver drives
// it; null for a Classic driver, a human player 2, a racer out of the race,
// or a track with no line (too large, or no finish), which the Classic
// driver races.
const RacingLine* racing_line_of(const Race& race, const Track& track, int r);

// This step's controls (DRIVE_* bits) of racer r's driver on `line`.
int racing_driver_bits(Race& race, const RacingLine& line, int r);
