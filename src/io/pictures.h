// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of the data folder, read as the game and the track kit both
// read them: PNG files only, their header checked before anything is decoded,
// so that a picture of another format or of a size the game cannot afford
// never reaches a decoder.
#pragma once

#include <SDL/SDL.h>

#include <string>

// Ball pictures are turned to 360 angles at start-up, so their memory grows
// with the square of their size; ours are 26 pixels. Any other picture: the
// largest the game shows is the 800-pixel window.
struct picture_limit {
    int side;           // at most this many pixels wide and high
    const char* what;   // for the message: "a ball picture"
};
constexpr picture_limit BALL_PICTURE = {128, "a ball picture"};
constexpr picture_limit OTHER_PICTURE = {4096, "a picture"};
constexpr picture_limit ICON_PICTURE = {256, "a window icon"};
// No picture of ours comes near this: the biggest is 0.7 MB.
constexpr long long MAX_PICTURE_FILE_BYTES = 32 << 20;

// True when `path` is a regular file whose header says PNG of 1 to
// limit.side pixels a side; nothing is decoded. Otherwise false with the
// cause in `why`, which names the file: "PATH: no such file", "PATH is not a
// PNG picture (it starts with 'GIF89a')", "PATH is 20000 x 20000 pixels; a
// ball picture may be at most 128 x 128".
bool check_picture(const std::string& path, picture_limit limit, std::string& why);
// The same check, then the PNG decoder alone on the file just checked. Null
// with the cause in `why` as above, or "PATH cannot be decoded: ...".
SDL_Surface* load_picture(const std::string& path, picture_limit limit, std::string& why);
