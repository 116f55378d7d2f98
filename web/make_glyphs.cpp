// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the game's font with SDL_ttf, as the desktop game draws it, into
// the glyph files the web game's text is drawn from (web/text.cpp): for each
// size, the line height, then for each Latin-1 code its width and that many
// columns of alpha for each row (width 0: no glyph).
//   make_glyphs FONT.ttf OUT_FOLDER SIZE...
#include <SDL/SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <string>

static bool write_size(TTF_Font* font, FILE* out) {
    const int height = TTF_FontHeight(font);
    std::fwrite(&height, sizeof height, 1, out);
    const SDL_Color white = {255, 255, 255, 0};
    for (int code = 0; code < 256; code++) {
        const char one[2] = {(char)code, 0};
        const bool drawn = code >= 32 && code != 127 && (code < 128 || code >= 160);
        SDL_Surface* s = drawn ? TTF_RenderText_Blended(font, one, white) : nullptr;
        int width = s && s->h == height ? s->w : 0;
        std::fwrite(&width, sizeof width, 1, out);
        for (int y = 0; y < height && width > 0; y++)
            for (int x = 0; x < width; x++) {
                const Uint32 p = ((const Uint32*)((const Uint8*)s->pixels + y * s->pitch))[x];
                const unsigned char alpha = (unsigned char)((p & s->format->Amask) >> s->format->Ashift);
                std::fputc(alpha, out);
            }
        SDL_FreeSurface(s);
    }
    return !std::ferror(out);
}

int main(int argc, char** argv) {
    if (argc < 4 || TTF_Init() != 0) {
        std::fprintf(stderr, "usage: make_glyphs FONT.ttf OUT_FOLDER SIZE...\n");
        return 2;
    }
    for (int i = 3; i < argc; i++) {
        const int size = std::atoi(argv[i]);
        TTF_Font* font = TTF_OpenFont(argv[1], size);
        const std::string path = std::string(argv[2]) + "/glyphs" + std::to_string(size) + ".bin";
        FILE* out = font ? std::fopen(path.c_str(), "wb") : nullptr;
        const bool ok = out && write_size(font, out);
        if (out && std::fclose(out) != 0) std::fprintf(stderr, "make_glyphs: cannot write %s\n", path.c_str());
        if (!ok) {
            std::fprintf(stderr, "make_glyphs: %s at %d: %s\n", argv[1], size, font ? "cannot write" : TTF_GetError());
            return 1;
        }
        TTF_CloseFont(font);
    }
    TTF_Quit();
    return 0;
}
