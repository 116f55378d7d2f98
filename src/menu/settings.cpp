// STUB: replaced by the real implementation
#include "menu/menu.h"
#include "shell/shell.h"

void settings_frame() { game_screen = SCREEN_MENU; }
