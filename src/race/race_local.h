// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the race files only.
#pragma once

#include "race/race.h"

// Moves racer r's head along heading h (whole degrees) by its speed.
void move_head(Race& race, int r, int h);
