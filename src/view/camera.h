// SPDX-License-Identifier: GPL-3.0-or-later
// The cameras a frame draws with. The classic game draws with the race's
// own (the head in the middle of the view); the full game's lead in the
// direction of travel, so a racer at full speed sees the road coming. Drawing
// only: the race keeps its own cameras and never reads these. No SDL here.
#pragma once

#include "race/race.h"

// Camera offsets of view 1 and view 2, as Race::camera_x and camera_y.
struct ViewCameras {
    int x[2], y[2];
};

// The race's own cameras; view 1 follows racer `follow` when it is not 0
// (a watched replay's chosen racer).
ViewCameras race_cameras(const Race& race, const Track& track, int follow);

// The lead of each view, in world pixels ahead of the head it follows,
// eased towards the lead the racer's speed asks for.
struct LookAhead {
    float x[2] = {0, 0}, y[2] = {0, 0};
};

// Steps of travel the camera leads by at a steady speed.
constexpr float LEAD_STEPS = 34.0f;
// The share of the missing lead taken in each frame, and the most it moves
// in one frame: a bump that stops a racer dead slides the view back.
constexpr float LEAD_EASE = 0.08f;
constexpr float LEAD_MOST_PER_FRAME = 4.0f;

// One frame of the lead cameras: eases `look` towards the racers' leads
// and gives the cameras, kept within the track as the race's own are.
ViewCameras lead_cameras(LookAhead& look, const Race& race, const Track& track, int follow);

// Pixels a step at full speed: where the speed settles with the forward
// key held, s = (s - acceleration) * friction.
float full_speed(const Race& race);
// Seconds of road racer `r` sees ahead at full speed: from its head to the
// edge of a view drawn with camera (cx, cy), along its heading.
float seconds_ahead(const Race& race, int r, int cx, int cy);
