#include "track/track.h"

Track track;
Uint32 race_start_ticks = 0;
char level_names[MAX_LEVELS][LEVEL_NAME_LEN];
int last_level_index = -1;
SDL_Surface* tile_pieces[12];
