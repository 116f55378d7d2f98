// SPDX-License-Identifier: GPL-3.0-or-later
// Key numbers from the web's SDL to SDL 1.2's.
#include "io/web_keys.h"

// The web's special keys are 1024 plus their USB scan code.
static const int SCAN = 1024;
// The scan codes the web's special keys have, from 0, as SDL 1.2 numbers them.
static const struct { int scan; SDLKey key; } SPECIAL_KEYS[] = {
    {57, SDLK_CAPSLOCK}, {58, SDLK_F1}, {59, SDLK_F2}, {60, SDLK_F3}, {61, SDLK_F4}, {62, SDLK_F5},
    {63, SDLK_F6}, {64, SDLK_F7}, {65, SDLK_F8}, {66, SDLK_F9}, {67, SDLK_F10}, {68, SDLK_F11},
    {69, SDLK_F12}, {71, SDLK_SCROLLOCK}, {73, SDLK_INSERT}, {74, SDLK_HOME}, {75, SDLK_PAGEUP},
    {77, SDLK_END}, {78, SDLK_PAGEDOWN}, {79, SDLK_RIGHT}, {80, SDLK_LEFT}, {81, SDLK_DOWN},
    {82, SDLK_UP}, {83, SDLK_NUMLOCK}, {84, SDLK_KP_DIVIDE}, {85, SDLK_KP_MULTIPLY},
    {86, SDLK_KP_MINUS}, {87, SDLK_KP_PLUS}, {88, SDLK_KP_ENTER}, {89, SDLK_KP1}, {90, SDLK_KP2},
    {91, SDLK_KP3}, {92, SDLK_KP4}, {93, SDLK_KP5}, {94, SDLK_KP6}, {95, SDLK_KP7}, {96, SDLK_KP8},
    {97, SDLK_KP9}, {98, SDLK_KP0}, {99, SDLK_KP_PERIOD}, {101, SDLK_MENU}, {104, SDLK_F13},
    {105, SDLK_F14}, {106, SDLK_F15}, {224, SDLK_LCTRL}, {225, SDLK_LSHIFT}, {226, SDLK_LALT},
    {227, SDLK_LSUPER}, {228, SDLK_RCTRL}, {229, SDLK_RSHIFT}, {230, SDLK_RALT}, {231, SDLK_RSUPER},
};

SDLKey key_from_web(int code) {
    if (code >= SCAN) {
        for (const auto& k : SPECIAL_KEYS)
            if (k.scan == code - SCAN) return k.key;
        return SDLK_UNKNOWN;
    }
    // Three punctuation keys come through as the browser's own key codes.
    switch (code) {
        case 186: return SDLK_SEMICOLON;
        case 187: return SDLK_EQUALS;
        case 189: return SDLK_MINUS;
        default: return code > 0 && code < SDLK_LAST ? (SDLKey)code : SDLK_UNKNOWN;
    }
}

#ifdef __EMSCRIPTEN__
const Uint8* web_key_state() {
    static Uint8 held[SDLK_LAST];
    const Uint8* web = SDL_GetKeyboardState(nullptr);
    for (int k = 0; k < SDLK_LAST; k++) held[k] = 0;
    // The web's array has 64K entries; its keys are below 1024 + 256.
    for (int code = 1; code < SCAN + 256; code++)
        if (web[code]) held[key_from_web(code)] = 1;
    held[SDLK_UNKNOWN] = 0;
    return held;
}
#endif
