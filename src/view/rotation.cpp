// STUB: replaced by the real implementation
#include "view/view.h"

SDL_Surface* rotated_images[4][360];
void build_rotation_tables(SDL_Surface* imgs[4]) { for (int i = 0; i < 4; i++) SDL_FreeSurface(imgs[i]); }
void free_rotation_tables() {}
int sprite_angle(float) { return 0; }
