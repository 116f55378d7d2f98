// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point: hands over to SDL_main.
#include "shell/shell.h"

// SDL 1.2 only renames main on some platforms; elsewhere this is the shim.
int main(int argc, char** argv) {
    return SDL_main(argc, argv);
}
