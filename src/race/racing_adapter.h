// Where the Good and Expert drivers meet the race: the one place that reads
// the race's racers, balls and checkpoint flags for them and keeps their
// racing lines and memories. The Difficulty setting (race_difficulty in
// core/state.h) chooses them for the computer racers 2 and 3; Classic keeps
// the drivers of race/drivers.cpp.
#pragma once

#include "race/racing_driver.h"

// At race set-up, after the track is loaded: builds the lines the computer
// racers need (none for Classic) and clears the drivers' memories.
void prepare_racing_drivers();

// True when racer r (1 or 2) is driven by a Good or Expert driver.
bool racing_driver_drives(int r);

// This step's controls (DRIVE_* bits) of racer r's driver.
int racing_driver_bits(int r);

// The line racer r drives by (empty before the first set-up that needs one).
const RacingLine& racing_line_of(int r);
