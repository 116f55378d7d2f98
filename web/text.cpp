// SPDX-License-Identifier: GPL-3.0-or-later
// The web's SDL draws text with a browser font; the web game draws ours
// instead, from glyphs SDL_ttf rendered at build time (web/make_glyphs.cpp),
// placed side by side as SDL_ttf places a monospaced font's.
#include <SDL/SDL_ttf.h>

#include <cstdio>
#include <string>
#include <vector>

struct _TTF_Font {
    int height = 0;
    int width[256] = {};
    std::vector<unsigned char> alpha[256];   // width x height each
};

int TTF_Init() { return 0; }
int TTF_WasInit() { return 1; }
void TTF_Quit() {}

// The glyph file made for `ptsize`; the font's own file was read at build time.
TTF_Font* TTF_OpenFont(const char*, int ptsize) {
    const std::string path = "/glyphs/glyphs" + std::to_string(ptsize) + ".bin";
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        SDL_SetError("no glyphs for size %d", ptsize);
        return nullptr;
    }
    TTF_Font* font = new TTF_Font;
    bool ok = std::fread(&font->height, sizeof font->height, 1, in) == 1 && font->height > 0;
    for (int code = 0; ok && code < 256; code++) {
        int& w = font->width[code];
        ok = std::fread(&w, sizeof w, 1, in) == 1 && w >= 0 && w < 256;
        if (!ok) break;
        font->alpha[code].resize((size_t)w * font->height);
        ok = std::fread(font->alpha[code].data(), 1, font->alpha[code].size(), in) == font->alpha[code].size();
    }
    std::fclose(in);
    if (ok) return font;
    delete font;
    SDL_SetError("%s is broken", path.c_str());
    return nullptr;
}

void TTF_CloseFont(TTF_Font* font) { delete font; }

int TTF_SizeText(TTF_Font* font, const char* text, int* w, int* h) {
    int width = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c; c++) width += font->width[*c];
    if (w) *w = width;
    if (h) *h = font->height;
    return 0;
}

SDL_Surface* TTF_RenderText_Blended(TTF_Font* font, const char* text, SDL_Color fg) {
    int width = 0;
    TTF_SizeText(font, text, &width, nullptr);
    if (width == 0) {
        SDL_SetError("Text has zero width");
        return nullptr;
    }
    // The canvas's byte order: red, green, blue, alpha.
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, width, font->height, 32, 0x000000ff, 0x0000ff00,
                                          0x00ff0000, 0xff000000);
    if (!s) return nullptr;
    SDL_LockSurface(s);
    int left = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c; left += font->width[*c], c++)
        for (int y = 0; y < font->height; y++)
            for (int x = 0; x < font->width[*c]; x++) {
                Uint8* p = (Uint8*)s->pixels + y * s->pitch + (left + x) * 4;
                p[0] = fg.r;
                p[1] = fg.g;
                p[2] = fg.b;
                p[3] = font->alpha[*c][(size_t)y * font->width[*c] + x];
            }
    SDL_UnlockSurface(s);
    return s;
}
