// SPDX-License-Identifier: GPL-3.0-or-later
// The Good and Expert computer drivers: from what a racer sees to the four
// controls a human racer has, so they move by the human rules. They drive by
// the racing line of their chain length (track/racing_line.h), foretelling
// their own moves; Good looks ahead less often and less widely, steers a step
// late and lifts off now and then, all fixed functions of what it sees and
// remembers (no random numbers), so a race and its replay drive alike. The
// Classic drivers are race/drivers.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "core/difficulty.h"
#include "core/input.h"
#include "track/racing_line.h"



constexpr int SEEN_BALLS = 30;

// What a driver sees in one step. Positions are world pixels.
struct DriverView {
    float x = 0, y = 0;        // its head
    int heading = 0;           // whole degrees, as stored after a human step
    float speed = 0;           // negative drives forward
    int leg = 0;               // checkpoints touched so far this lap, in order
    int others = 0;            // balls of other racers below
    float other_x[SEEN_BALLS] = {}, other_y[SEEN_BALLS] = {};
};

// What a driver remembers between steps; part of the race (no padding, so a
// byte compare of two races sees only these).
struct DriverMemory {
    uint32_t step;         // steps driven since the set-up
    int32_t late_steer;    // Good: the steering it decided last step
    // The plan it drives by between two looks ahead.
    int32_t plan_steer;    // ACTION_LEFT, ACTION_RIGHT or 0
    int32_t plan_turns;    // steps it still steers for
    int32_t plan_brakes;   // steps it still brakes for
    int32_t crawling;      // 1: no plan got on; it turns at a crawl along the line
};

// One step's controls (ACTION_* bits) for a Good or Expert driver.
int racing_controls(const RacingLine& line, int difficulty, const DriverView& view,
                    DriverMemory& memory);
