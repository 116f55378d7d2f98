// Helpers shared by the race files only.
#pragma once

// Moves racer r's head along heading h (whole degrees) by its speed.
void move_head(int r, int h);
