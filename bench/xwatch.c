/* Watches an X display from outside the programs on it and reports, with wall-clock
 * timestamps taken the moment the server's event arrives, what the benchmark needs to time:
 *
 *   xwatch maps
 *       one line per window that becomes visible or goes away at the top level:
 *       "<time> map <frame> <client> <pid> <class> <title>" and "<time> unmap <frame>"
 *   xwatch region <window> <x> <y> <w> <h> <pixel file>
 *       one line per change of the pixels in that rectangle of the window: "<time> <hash>",
 *       the new pixels appended to the pixel file
 *
 * Times are seconds since the epoch (CLOCK_REALTIME), so they compare with the wall-clock
 * seconds the programs under test work to.
 */
#define _POSIX_C_SOURCE 200809L

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double wall_now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* Windows come and go while they are looked at; that is no reason to stop watching. */
static int ignore_errors(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0;
}

static int has_property(Display *display, Window window, Atom property)
{
    int count = 0;
    Atom *atoms = XListProperties(display, window, &count);
    int found = 0;
    for (int i = 0; i < count; ++i)
        found |= atoms[i] == property;
    if (atoms)
        XFree(atoms);
    return found;
}

/* The application's own window inside a window manager frame: the first window, breadth
 * first, that carries a title. Windows the manager leaves alone are their own client. */
static Window client_of(Display *display, Window frame)
{
    Window queue[256];
    int head = 0, tail = 0;
    queue[tail++] = frame;
    while (head < tail) {
        Window window = queue[head++];
        if (has_property(display, window, XA_WM_NAME))
            return window;
        Window root, parent, *children = NULL;
        unsigned int count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && tail < 256; ++i)
                queue[tail++] = children[i];
            if (children)
                XFree(children);
        }
    }
    return frame;
}

static long pid_of(Display *display, Window window)
{
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = NULL;
    long pid = 0;
    Atom property = XInternAtom(display, "_NET_WM_PID", False);
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data)
            == Success
        && data && items == 1 && format == 32)
        pid = (long)*(unsigned long *)data;
    if (data)
        XFree(data);
    return pid;
}

/* Spaces would split the line the benchmark reads, so they become underscores. */
static void print_word(const char *text)
{
    if (!text || !*text) {
        fputc('-', stdout);
        return;
    }
    for (const char *c = text; *c; ++c)
        fputc(*c == ' ' || *c == '\n' ? '_' : *c, stdout);
}

static void print_title(Display *display, Window window)
{
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = NULL;
    Atom property = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, property, 0, 1024, False, utf8, &type, &format,
                           &items, &after, &data)
            == Success
        && data && items > 0) {
        print_word((const char *)data);
        XFree(data);
        return;
    }
    if (data)
        XFree(data);
    char *name = NULL;
    XFetchName(display, window, &name);
    print_word(name);
    if (name)
        XFree(name);
}

static _Noreturn void watch_maps(Display *display)
{
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        const double when = wall_now();
        if (event.type == MapNotify && event.xmap.event == root) {
            Window frame = event.xmap.window;
            Window client = client_of(display, frame);
            XClassHint hint = {NULL, NULL};
            XGetClassHint(display, client, &hint);
            printf("%.6f map 0x%lx 0x%lx %ld ", when, frame, client, pid_of(display, client));
            print_word(hint.res_class);
            fputc(' ', stdout);
            print_title(display, client);
            fputc('\n', stdout);
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
        } else if (event.type == UnmapNotify && event.xunmap.event == root) {
            printf("%.6f unmap 0x%lx\n", when, event.xunmap.window);
        } else {
            continue;
        }
        fflush(stdout);
    }
}

static uint64_t fnv1a(const unsigned char *data, size_t size)
{
    uint64_t hash = 1469598103934665603ULL;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 1099511628211ULL;
    return hash;
}

static int watch_region(Display *display, Window window, int x, int y, int w, int h,
                        const char *pixel_path)
{
    int event_base, error_base;
    if (!XDamageQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "xwatch: the X server has no DAMAGE extension\n");
        return 1;
    }
    FILE *pixels = fopen(pixel_path, "wb");
    if (!pixels) {
        perror(pixel_path);
        return 1;
    }
    Damage damage = XDamageCreate(display, window, XDamageReportNonEmpty);
    XSync(display, False);
    printf("ready\n");
    fflush(stdout);
    uint64_t last = 0;
    double when = wall_now();
    for (;;) {
        /* A repaint may reach the server in several pieces: wait until it has settled so that
         * one change is read once, but stamp it with the moment it began. */
        XDamageSubtract(display, damage, None, None);
        XSync(display, False);
        XImage *image = XGetImage(display, window, x, y, (unsigned)w, (unsigned)h, AllPlanes,
                                  ZPixmap);
        if (image) {
            const size_t size = (size_t)image->bytes_per_line * (size_t)image->height;
            const uint64_t hash = fnv1a((const unsigned char *)image->data, size);
            if (hash != last) {
                last = hash;
                fwrite(image->data, 1, size, pixels);
                fflush(pixels);
                printf("%.6f %016llx\n", when, (unsigned long long)hash);
                fflush(stdout);
            }
            XDestroyImage(image);
        }
        XEvent event;
        XNextEvent(display, &event);
        when = wall_now();
        struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        do {
            while (XPending(display))
                XNextEvent(display, &event);
        } while (poll(&fd, 1, 15) > 0);
    }
}

int main(int argc, char **argv)
{
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xwatch: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    if (argc == 2 && strcmp(argv[1], "maps") == 0)
        watch_maps(display);
    if (argc == 8 && strcmp(argv[1], "region") == 0)
        return watch_region(display, (Window)strtoul(argv[2], NULL, 0), atoi(argv[3]),
                            atoi(argv[4]), atoi(argv[5]), atoi(argv[6]), argv[7]);
    fprintf(stderr, "usage: xwatch maps | xwatch region WINDOW X Y W H PIXEL-FILE\n");
    return 2;
}
