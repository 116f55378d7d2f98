// SPDX-License-Identifier: GPL-3.0-or-later
// PNG pictures: the header first, then the PNG decoder on the same open file.
#include "io/pictures.h"

#include <SDL/SDL_image.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/files.h"

// The signature, the first chunk's length and type, then the width and the
// height, big-endian.
constexpr size_t PNG_HEADER_BYTES = 24;

static bool png_header_size(const unsigned char* head, long& w, long& h) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (std::memcmp(head, signature, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
    auto be32 = [head](int at) {
        return (long)head[at] << 24 | (long)head[at + 1] << 16 | (long)head[at + 2] << 8 | head[at + 3];
    };
    w = be32(16);
    h = be32(20);
    return true;
}

// Opens `path` and checks its header; the open file, at its start, or null.
static FILE* open_checked(const std::string& path, picture_limit limit, std::string& why) {
    const std::string name = printable(path, 200);
    std::string cause;
    FILE* f = open_regular_file(path.c_str(), MAX_PICTURE_FILE_BYTES, cause);
    if (!f) {
        why = name + ": " + cause;
        return nullptr;
    }
    unsigned char head[PNG_HEADER_BYTES] = {};
    const size_t got = std::fread(head, 1, sizeof head, f);
    long w = 0, h = 0;
    if (got < sizeof head || !png_header_size(head, w, h)) {
        why = name + " is not a PNG picture (" +
              (got == 0 ? std::string("it is empty")
                        : "it starts with '" + printable(std::string(reinterpret_cast<const char*>(head), got), 8) + "'") +
              ")";
    } else if (w < 1 || h < 1 || w > limit.side || h > limit.side) {
        why = name + " is " + std::to_string(w) + " x " + std::to_string(h) + " pixels; " + limit.what +
              " may be at most " + std::to_string(limit.side) + " x " + std::to_string(limit.side);
    } else if (std::fseek(f, 0, SEEK_SET) != 0) {
        why = name + ": cannot read it again from its start";
    } else {
        return f;
    }
    std::fclose(f);
    return nullptr;
}

bool check_picture(const std::string& path, picture_limit limit, std::string& why) {
    FILE* f = open_checked(path, limit, why);
    if (f) std::fclose(f);
    return f != nullptr;
}

SDL_Surface* load_picture(const std::string& path, picture_limit limit, std::string& why) {
    FILE* f = open_checked(path, limit, why);
    if (!f) return nullptr;
#ifdef __EMSCRIPTEN__
    // The web's SDL decodes only by name, with the browser's decoder, the
    // files preloaded with the page; it has no PNG decoder on an open file.
    std::fclose(f);
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (!loaded) why = printable(path, 200) + " cannot be decoded: " + printable(SDL_GetError(), 200);
    return loaded;
#endif
    // The file checked is the file decoded: no second open.
    SDL_RWops* rw = SDL_RWFromFP(f, SDL_TRUE);
    if (!rw) {
        std::fclose(f);
        why = printable(path, 200) + ": " + printable(SDL_GetError(), 200);
        return nullptr;
    }
    SDL_ClearError();
    // libpng prints its complaint about a broken file itself: caught here
    // and made part of the one line that names the file.
    FILE* said = std::tmpfile();
    const int saved_stderr = said ? dup(STDERR_FILENO) : -1;
    if (saved_stderr >= 0) {
        std::fflush(stderr);
        dup2(fileno(said), STDERR_FILENO);
    }
    SDL_Surface* s = IMG_LoadPNG_RW(rw);
    SDL_RWclose(rw);
    std::string complaint;
    if (saved_stderr >= 0) {
        std::fflush(stderr);
        dup2(saved_stderr, STDERR_FILENO);
        close(saved_stderr);
        char buf[256];
        std::rewind(said);
        const size_t n = std::fread(buf, 1, sizeof buf, said);
        complaint.assign(buf, n);
        while (!complaint.empty() && complaint.back() == '\n') complaint.pop_back();
    }
    if (said) std::fclose(said);
    if (!s) {
        const char* e = SDL_GetError();
        std::string cause = e && *e ? e : "a broken PNG";
        if (!complaint.empty()) cause += " (" + complaint + ")";
        why = printable(path, 200) + " cannot be decoded: " + printable(cause, 200);
    }
    return s;
}
