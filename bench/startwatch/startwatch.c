/* Starts a program and times what a user sees of its start on the X display: how long until
 * its first top-level window is mapped, and how long until something is drawn into that
 * window after the map. It then reads the program's peak resident memory and ends it.
 *
 * Nothing is polled: the X server reports every new top-level window to us (SubstructureNotify
 * on the root window, selected before the program starts), and every drawing operation on
 * the screen through a DAMAGE object on the root window that exists before the program
 * starts too, so no frame can slip past before we look.
 *
 * usage: korvex_startwatch [-t timeout ms] [-s settle ms] program [argument...]
 *
 * Prints one line, "mapped_ms=<ms> content_ms=<ms or -> peak_kib=<KiB>", on standard output;
 * the program's own output goes to standard error. The peak is VmHWM of the process that
 * owns the window (_NET_WM_PID), or of the started process when the window names none, read
 * settle ms after the first content (or after the map when nothing is drawn within the
 * timeout). Exits 0 after a measurement, 1 on a usage or X error, 2 when the program ends or
 * shows no window within the timeout.
 */
#define _GNU_SOURCE

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/signalfd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { maxWindows = 256 };

/* A top-level window created since the program started, with its place on the screen. */
struct TopLevel
{
    Window id;
    int x, y, width, height;
};

static struct TopLevel topLevels[maxWindows];
static int topLevelCount;

static double startTime;

static double nowMs(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

static struct TopLevel *findTopLevel(Window id)
{
    for (int i = 0; i < topLevelCount; ++i) {
        if (topLevels[i].id == id)
            return &topLevels[i];
    }
    return NULL;
}

static int ignoreXError(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0; /* windows may vanish while we ask about them */
}

static pid_t windowPid(Display *display, Window window)
{
    Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char *data = NULL;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &remaining, &data)
            == Success
        && data && format == 32 && count == 1)
        pid = (pid_t) * (unsigned long *)data;
    if (data)
        XFree(data);
    return pid;
}

static long peakKib(pid_t pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *status = fopen(path, "r");
    if (!status)
        return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, status)) {
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    }
    fclose(status);
    return kib;
}

static int intersects(const struct TopLevel *window, const XRectangle *area)
{
    return area->x < window->x + window->width && window->x < area->x + area->width
           && area->y < window->y + window->height && window->y < area->y + area->height;
}

/* Ends the program's process group (and the window's owner, when it lives elsewhere), and
 * waits until the server has destroyed the window, so that the next start finds none. */
static void endProgram(Display *display, pid_t child, int reaped, pid_t owner, Window window)
{
    kill(-child, SIGTERM);
    if (owner > 0 && getpgid(owner) != child)
        kill(owner, SIGTERM);
    double deadline = nowMs() + 2000;
    int destroyed = window == None;
    while ((!reaped || !destroyed) && nowMs() < deadline) {
        if (!reaped && waitpid(child, NULL, WNOHANG) == child)
            reaped = 1;
        while (!destroyed && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == window)
                destroyed = 1;
        }
        if (!reaped || !destroyed) {
            struct pollfd x = {ConnectionNumber(display), POLLIN, 0};
            poll(&x, 1, 5);
        }
    }
    if (!reaped) {
        kill(-child, SIGKILL);
        waitpid(child, NULL, 0);
    }
    if (!destroyed && owner > 0)
        kill(owner, SIGKILL);
}

int main(int argc, char *argv[])
{
    long timeoutMs = 10000, settleMs = 300;
    int option;
    while ((option = getopt(argc, argv, "+t:s:")) != -1) {
        if (option == 't')
            timeoutMs = strtol(optarg, NULL, 10);
        else if (option == 's')
            settleMs = strtol(optarg, NULL, 10);
        else
            return 1;
    }
    if (optind >= argc) {
        fprintf(stderr, "usage: %s [-t timeout ms] [-s settle ms] program [argument...]\n",
                argv[0]);
        return 1;
    }

    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "startwatch: cannot open display %s\n", XDisplayName(NULL));
        return 1;
    }
    int damageEvent, damageError;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        fprintf(stderr, "startwatch: the X server has no DAMAGE extension\n");
        return 1;
    }
    XSetErrorHandler(ignoreXError);
    Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    Damage damage = XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);
    /* Drawing done before the program started must not count as its first content. */
    XEvent stale;
    while (XPending(display))
        XNextEvent(display, &stale);

    sigset_t childSignal;
    sigemptyset(&childSignal);
    sigaddset(&childSignal, SIGCHLD);
    sigprocmask(SIG_BLOCK, &childSignal, NULL);
    int childFd = signalfd(-1, &childSignal, SFD_CLOEXEC);

    startTime = nowMs();
    pid_t child = fork();
    if (child < 0) {
        perror("startwatch: fork");
        return 1;
    }
    if (child == 0) {
        setpgid(0, 0);
        sigprocmask(SIG_UNBLOCK, &childSignal, NULL);
        dup2(STDERR_FILENO, STDOUT_FILENO);
        close(ConnectionNumber(display));
        execvp(argv[optind], argv + optind);
        fprintf(stderr, "startwatch: cannot run %s: %s\n", argv[optind], strerror(errno));
        _exit(127);
    }
    setpgid(child, child);

    Window window = None;
    pid_t owner = 0;
    int childEnded = 0;
    double mappedMs = -1, contentMs = -1;
    double deadline = startTime + timeoutMs;
    for (;;) {
        while (XPending(display) && contentMs < 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root
                && !event.xcreatewindow.override_redirect && topLevelCount < maxWindows) {
                const XCreateWindowEvent *created = &event.xcreatewindow;
                topLevels[topLevelCount++] =
                    (struct TopLevel){created->window, created->x, created->y,
                                      created->width + 2 * created->border_width,
                                      created->height + 2 * created->border_width};
            } else if (event.type == ConfigureNotify) {
                struct TopLevel *known = findTopLevel(event.xconfigure.window);
                if (known) {
                    known->x = event.xconfigure.x;
                    known->y = event.xconfigure.y;
                    known->width = event.xconfigure.width + 2 * event.xconfigure.border_width;
                    known->height = event.xconfigure.height + 2 * event.xconfigure.border_width;
                }
            } else if (event.type == MapNotify && window == None
                       && findTopLevel(event.xmap.window)) {
                mappedMs = nowMs() - startTime;
                window = event.xmap.window;
                owner = windowPid(display, window);
                deadline = nowMs() + timeoutMs;
            } else if (event.type == damageEvent + XDamageNotify && window != None) {
                const XDamageNotifyEvent *drawn = (const XDamageNotifyEvent *)&event;
                if (intersects(findTopLevel(window), &drawn->area))
                    contentMs = nowMs() - startTime;
            }
        }
        if (contentMs >= 0 || nowMs() >= deadline)
            break;

        struct pollfd sources[2] = {{ConnectionNumber(display), POLLIN, 0}, {childFd, POLLIN, 0}};
        int wait = (int)(deadline - nowMs()) + 1;
        if (poll(sources, 2, wait) < 0 && errno != EINTR)
            break;
        if (sources[1].revents & POLLIN) {
            struct signalfd_siginfo info;
            if (read(childFd, &info, sizeof info) < 0)
                break;
            /* A launcher may hand its window over to a process it forked, or that the
             * session bus started, and end; the window is then still to come. */
            int status;
            if (!childEnded && waitpid(child, &status, WNOHANG) == child) {
                childEnded = 1;
                if (window == None && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
                    fprintf(stderr, "startwatch: %s failed before it mapped a window\n",
                            argv[optind]);
                    return 2;
                }
            }
        }
    }
    XDamageDestroy(display, damage);
    XFlush(display);

    if (window == None) {
        fprintf(stderr, "startwatch: %s mapped no window within %ld ms\n", argv[optind], timeoutMs);
        endProgram(display, child, childEnded, 0, None);
        return 2;
    }
    if (settleMs > 0)
        usleep((useconds_t)settleMs * 1000);
    long kib = peakKib(owner > 0 ? owner : child);
    if (kib < 0)
        kib = peakKib(child);
    endProgram(display, child, childEnded, owner, window);
    XCloseDisplay(display);

    if (contentMs >= 0)
        printf("mapped_ms=%.2f content_ms=%.2f peak_kib=%ld\n", mappedMs, contentMs, kib);
    else
        printf("mapped_ms=%.2f content_ms=- peak_kib=%ld\n", mappedMs, kib);
    return 0;
}
