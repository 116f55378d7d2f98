// SPDX-License-Identifier: GPL-3.0-or-later
// The picture enlarged by the X server: MIT-SHM for the pixels, RENDER for
// the scaled copy.
#include "shell/x_scaler.h"

#ifdef CHAINBALL_XRENDER

#include <SDL/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>

// All for as long as the window is open; `surface` non-null means active.
static SDL_Surface* surface = nullptr;
static Display* display = nullptr;
static void (*lock_display)() = nullptr;
static void (*unlock_display)() = nullptr;
static XImage* image = nullptr;
static XShmSegmentInfo segment;
static Pixmap pixmap = 0;
static GC gc = nullptr;
static Picture from = 0, to = 0;
static int width = 0, scale = 1, left = 0, top = 0;

// X reports a refused request later, through this handler; the opening
// waits for the server's answer and looks.
static bool x_failed = false;
static int note_x_error(Display*, XErrorEvent*) {
    x_failed = true;
    return 0;
}

static void release() {
    if (surface) SDL_FreeSurface(surface);
    surface = nullptr;
    if (!display) return;
    if (from) XRenderFreePicture(display, from);
    if (to) XRenderFreePicture(display, to);
    if (gc) XFreeGC(display, gc);
    if (pixmap) XFreePixmap(display, pixmap);
    if (image) {
        XShmDetach(display, &segment);
        image->data = nullptr;   // the segment's, not Xlib's to free
        XDestroyImage(image);
        shmdt(segment.shmaddr);
    }
    XSync(display, False);
    from = to = 0;
    gc = nullptr;
    pixmap = 0;
    image = nullptr;
    display = nullptr;
}

SDL_Surface* x_scaler_open(int w, int h, int s, int x, int y) {
    x_scaler_close();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return nullptr;
    Display* d = info.info.x11.display;
    const Window win = info.info.x11.window;
    lock_display = info.info.x11.lock_func;
    unlock_display = info.info.x11.unlock_func;
    lock_display();
    int event_base, error_base, major, minor;
    Bool pixmaps;
    XWindowAttributes attributes;
    const XRenderPictFormat* format = nullptr;
    if (XShmQueryExtension(d) && XShmQueryVersion(d, &major, &minor, &pixmaps) &&
        XRenderQueryExtension(d, &event_base, &error_base) && XGetWindowAttributes(d, win, &attributes))
        format = XRenderFindVisualFormat(d, attributes.visual);
    if (!format) {
        unlock_display();
        return nullptr;
    }
    display = d;
    width = w;
    scale = s;
    left = x;
    top = y;
    x_failed = false;
    int (*before)(Display*, XErrorEvent*) = XSetErrorHandler(note_x_error);
    image = XShmCreateImage(d, attributes.visual, (unsigned)attributes.depth, ZPixmap, nullptr, &segment,
                            (unsigned)w, (unsigned)h);
    bool ok = image && image->bits_per_pixel == 32;
    if (ok) {
        segment.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * (size_t)h, IPC_CREAT | 0600);
        ok = segment.shmid >= 0;
    }
    if (ok) {
        segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
        segment.readOnly = False;
        ok = segment.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(d, &segment);
        XSync(d, False);
        // Gone once both sides let go of it, also if the game is killed.
        shmctl(segment.shmid, IPC_RMID, nullptr);
        if (!ok && segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
        if (!ok) {
            image->data = nullptr;
            XDestroyImage(image);
            image = nullptr;
        }
    } else if (image) {
        XDestroyImage(image);
        image = nullptr;
    }
    if (ok && !x_failed) {
        pixmap = XCreatePixmap(d, win, (unsigned)w, (unsigned)h, (unsigned)attributes.depth);
        gc = XCreateGC(d, pixmap, 0, nullptr);
        from = XRenderCreatePicture(d, pixmap, format, 0, nullptr);
        to = XRenderCreatePicture(d, win, format, 0, nullptr);
        // Window point p samples the picture at p / s: with the nearest
        // pixel, each picture pixel fills an s x s block.
        XTransform t = {{{XDoubleToFixed(1.0 / s), 0, 0}, {0, XDoubleToFixed(1.0 / s), 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(d, from, &t);
        XRenderSetPictureFilter(d, from, FilterNearest, nullptr, 0);
        XSync(d, False);
    }
    XSetErrorHandler(before);
    ok = ok && !x_failed;
    if (ok) {
        const Visual* v = attributes.visual;
        surface = SDL_CreateRGBSurfaceFrom(image->data, w, h, 32, image->bytes_per_line, (Uint32)v->red_mask,
                                           (Uint32)v->green_mask, (Uint32)v->blue_mask, 0);
        ok = surface != nullptr;
    }
    if (!ok) release();
    unlock_display();
    return surface;
}

void x_scaler_send(int first, int last, bool frame_done) {
    if (!surface) return;
    lock_display();
    if (last > first) {
        XShmPutImage(display, pixmap, gc, image, 0, first, 0, first, (unsigned)width, (unsigned)(last - first), False);
        XRenderComposite(display, PictOpSrc, from, None, to, 0, first * scale, 0, 0, left, top + first * scale,
                         (unsigned)(width * scale), (unsigned)((last - first) * scale));
    }
    if (frame_done) XSync(display, False);
    unlock_display();
}

void x_scaler_close() {
    if (!surface && !display) return;
    if (lock_display) lock_display();
    release();
    if (unlock_display) unlock_display();
}

bool x_scaler_active() { return surface != nullptr; }

#else

SDL_Surface* x_scaler_open(int, int, int, int, int) { return nullptr; }
void x_scaler_send(int, int, bool) {}
void x_scaler_close() {}
bool x_scaler_active() { return false; }

#endif
