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

// The shared picture and the X server's handles that enlarge it, for as
// long as the window is open; `surface` non-null means active.
static struct {
    SDL_Surface* surface = nullptr;
    Display* display = nullptr;
    void (*lock_display)() = nullptr;
    void (*unlock_display)() = nullptr;
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    Pixmap pixmap = 0;
    GC gc = nullptr;
    Picture from = 0, to = 0;
    int width = 0, scale = 1, left = 0, top = 0;
    // X reports a refused request later, through note_x_error(); the
    // opening waits for the server's answer and looks.
    bool failed = false;
} scaler;

static int note_x_error(Display*, XErrorEvent*) {
    scaler.failed = true;
    return 0;
}

static void release() {
    if (scaler.surface) SDL_FreeSurface(scaler.surface);
    scaler.surface = nullptr;
    if (!scaler.display) return;
    if (scaler.from) XRenderFreePicture(scaler.display, scaler.from);
    if (scaler.to) XRenderFreePicture(scaler.display, scaler.to);
    if (scaler.gc) XFreeGC(scaler.display, scaler.gc);
    if (scaler.pixmap) XFreePixmap(scaler.display, scaler.pixmap);
    if (scaler.image) {
        XShmDetach(scaler.display, &scaler.segment);
        scaler.image->data = nullptr;   // the segment's, not Xlib's to free
        XDestroyImage(scaler.image);
        shmdt(scaler.segment.shmaddr);
    }
    XSync(scaler.display, False);
    scaler.from = scaler.to = 0;
    scaler.gc = nullptr;
    scaler.pixmap = 0;
    scaler.image = nullptr;
    scaler.display = nullptr;
}

SDL_Surface* x_scaler_open(int w, int h, int s, int x, int y) {
    x_scaler_close();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return nullptr;
    Display* d = info.info.x11.display;
    const Window win = info.info.x11.window;
    scaler.lock_display = info.info.x11.lock_func;
    scaler.unlock_display = info.info.x11.unlock_func;
    scaler.lock_display();
    int event_base, error_base, major, minor;
    Bool pixmaps;
    XWindowAttributes attributes;
    const XRenderPictFormat* format = nullptr;
    if (XShmQueryExtension(d) && XShmQueryVersion(d, &major, &minor, &pixmaps) &&
        XRenderQueryExtension(d, &event_base, &error_base) && XGetWindowAttributes(d, win, &attributes))
        format = XRenderFindVisualFormat(d, attributes.visual);
    if (!format) {
        scaler.unlock_display();
        return nullptr;
    }
    scaler.display = d;
    scaler.width = w;
    scaler.scale = s;
    scaler.left = x;
    scaler.top = y;
    scaler.failed = false;
    int (*before)(Display*, XErrorEvent*) = XSetErrorHandler(note_x_error);
    scaler.image = XShmCreateImage(d, attributes.visual, (unsigned)attributes.depth, ZPixmap, nullptr,
                                   &scaler.segment, (unsigned)w, (unsigned)h);
    bool ok = scaler.image && scaler.image->bits_per_pixel == 32;
    if (ok) {
        scaler.segment.shmid =
            shmget(IPC_PRIVATE, (size_t)scaler.image->bytes_per_line * (size_t)h, IPC_CREAT | 0600);
        ok = scaler.segment.shmid >= 0;
    }
    if (ok) {
        scaler.segment.shmaddr = scaler.image->data = static_cast<char*>(shmat(scaler.segment.shmid, nullptr, 0));
        scaler.segment.readOnly = False;
        ok = scaler.segment.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(d, &scaler.segment);
        XSync(d, False);
        // Gone once both sides let go of it, also if the game is killed.
        shmctl(scaler.segment.shmid, IPC_RMID, nullptr);
        if (!ok && scaler.segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(scaler.segment.shmaddr);
        if (!ok) {
            scaler.image->data = nullptr;
            XDestroyImage(scaler.image);
            scaler.image = nullptr;
        }
    } else if (scaler.image) {
        XDestroyImage(scaler.image);
        scaler.image = nullptr;
    }
    if (ok && !scaler.failed) {
        scaler.pixmap = XCreatePixmap(d, win, (unsigned)w, (unsigned)h, (unsigned)attributes.depth);
        scaler.gc = XCreateGC(d, scaler.pixmap, 0, nullptr);
        scaler.from = XRenderCreatePicture(d, scaler.pixmap, format, 0, nullptr);
        scaler.to = XRenderCreatePicture(d, win, format, 0, nullptr);
        // Window point p samples the picture at p / s: with the nearest
        // pixel, each picture pixel fills an s x s block.
        XTransform t = {{{XDoubleToFixed(1.0 / s), 0, 0}, {0, XDoubleToFixed(1.0 / s), 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(d, scaler.from, &t);
        XRenderSetPictureFilter(d, scaler.from, FilterNearest, nullptr, 0);
        XSync(d, False);
    }
    XSetErrorHandler(before);
    ok = ok && !scaler.failed;
    if (ok) {
        const Visual* v = attributes.visual;
        scaler.surface = SDL_CreateRGBSurfaceFrom(scaler.image->data, w, h, 32, scaler.image->bytes_per_line,
                                                  (Uint32)v->red_mask, (Uint32)v->green_mask, (Uint32)v->blue_mask, 0);
        ok = scaler.surface != nullptr;
    }
    if (!ok) release();
    scaler.unlock_display();
    return scaler.surface;
}

void x_scaler_send(int first, int last, bool frame_done) {
    if (!scaler.surface) return;
    scaler.lock_display();
    if (last > first) {
        const int w = scaler.width, s = scaler.scale;
        XShmPutImage(scaler.display, scaler.pixmap, scaler.gc, scaler.image, 0, first, 0, first, (unsigned)w,
                     (unsigned)(last - first), False);
        XRenderComposite(scaler.display, PictOpSrc, scaler.from, None, scaler.to, 0, first * s, 0, 0, scaler.left,
                         scaler.top + first * s, (unsigned)(w * s), (unsigned)((last - first) * s));
    }
    if (frame_done) XSync(scaler.display, False);
    scaler.unlock_display();
}

void x_scaler_close() {
    if (!scaler.surface && !scaler.display) return;
    if (scaler.lock_display) scaler.lock_display();
    release();
    if (scaler.unlock_display) scaler.unlock_display();
}

bool x_scaler_active() { return scaler.surface != nullptr; }

#else

SDL_Surface* x_scaler_open(int, int, int, int, int) { return nullptr; }
void x_scaler_send(int, int, bool) {}
void x_scaler_close() {}
bool x_scaler_active() { return false; }

#endif
