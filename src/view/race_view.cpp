// STUB: replaced by the real implementation
#include "view/view.h"

void draw_ball(int, int) {}
void draw_checkpoint_marker(int) {}
void draw_lap_display() {}
void compose_views() {}
