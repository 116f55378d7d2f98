// STUB: replaced by the real implementation
#include "view/view.h"
#include "shell/shell.h"

void race_frame() { game_screen = SCREEN_MENU; }
