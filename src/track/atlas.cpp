// STUB: replaced by the real implementation
#include "track/track.h"

void cut_atlas(SDL_Surface* atlas) { SDL_FreeSurface(atlas); }
void free_tile_pieces() {}
void draw_track() {}
