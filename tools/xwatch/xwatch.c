/*
 * xwatch: the X side of our entry measurements and of the no-flash check. A native Linux program
 * that sits on the test screen beside Wine and, between a start and a stop command, records
 *   - every map (and unmap) of a window that covers the screen, or nearly,
 *   - every drawing on the screen (DAMAGE, raw rectangles on the root window, which include
 *     every window on it), and
 *   - after each large drawing, what the whole screen then shows: the share of pixels that are
 *     black, the share that are the button-face colour, and the share equal to the screen as it
 *     was at the start command.
 *
 * Times are CLOCK_MONOTONIC_RAW in units of 100 ns. Under Wine 8 that is exactly what
 * QueryPerformanceCounter returns (QueryPerformanceFrequency is 10,000,000): ntdll reads
 * CLOCK_MONOTONIC_RAW. Plain CLOCK_MONOTONIC is not the same clock: NTP slews it, and on our
 * machines it was 0.25 s ahead of the raw clock ten minutes after boot.
 *
 * A program under Wine drives it through files in the control folder (the folder is on Wine's
 * drive Z:). Each command is one line written to "cmd" (and the file closed), or written elsewhere
 * and renamed to "cmd"; the answer replaces "ack" (written aside and renamed, never half there):
 *   start LABEL [fill=RRGGBB,RRGGBB] [probes]
 *                                      ->  "started LABEL TICKS"   (the fill colours default to
 *                                          black and Wine's button face, f0f0f0; with "probes", the
 *                                          points listed in the control folder's file "probes", one
 *                                          "X Y RRGGBB TOLERANCE" a line, are watched: the record
 *                                          says when each first showed that colour, give or take
 *                                          the tolerance in every byte, looked at after each
 *                                          drawing over it)
 *   peek LABEL                         ->  "progress LABEL map=T painted=T damages=N last=T fills=N"
 *                                          (the record so far, see the summary below; "last" is
 *                                          the time of the latest drawing)
 *   stop LABEL                         ->  writes record-LABEL.txt, then "stopped LABEL"
 *   cursor LABEL                       ->  "cursor LABEL W H XHOT YHOT": the pointer image the X
 *                                          server shows now (XFixes), as Wine made it
 *   key down|up KEYSYM                 ->  "key down|up KEYSYM" once the X server has the key
 *                                          pressed or released (XTest), "error ..." for a name
 *                                          it does not know. A key pressed here is one the X
 *                                          server knows of: Wine takes the state of Shift and
 *                                          Ctrl from the X server at every pointer event, so a
 *                                          key pressed with SendInput alone may be let go again
 *                                          behind a program's back.
 *   quit                               ->  "bye", and the program ends
 * At start-up it writes "ready" (its pid), so a starter knows it is listening.
 *
 *   xwatch CONTROL_DIR       (DISPLAY from the environment)
 *
 * The record, one event per line, times in ticks:
 *   screen W H
 *   start T
 *   map T WINDOW X Y W H           a window of at least nine tenths of the screen became mapped
 *   unmap T WINDOW
 *   damage T X Y W H               one drawing
 *   look T black=F face=F same=F   what the whole screen showed after the drawings before it
 *   probe T INDEX                  the probe of that line (0 the first) showed its colour
 *   stop T
 *   summary map=T painted=T fills=N full_damages=N looks=N
 * where "painted" is the first drawing after the first full-screen map after which the drawings
 * since that map cover the whole screen and the screen equals the picture at the start (all but a
 * thousandth of it: room for a software pointer), 0 when that never happened; "fills" counts the
 * looks that found nine tenths of the screen black or button face, and "full_damages" the drawings
 * after that map that cover nine tenths of the screen. A label is letters, digits, '.', '-', '_'.
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/XTest.h>
#include <errno.h>
#include <poll.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <unistd.h>

typedef unsigned long long ticks_t;

static ticks_t NowTicks(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return (ticks_t)ts.tv_sec * 10000000ull + (ticks_t)ts.tv_nsec / 100u;
}

/* --- The control folder ----------------------------------------------------------------------- */

static const char* g_dir;

static int WriteFileAtomically(const char* name, const char* text) {
  char tmp[4096], final[4096];
  snprintf(tmp, sizeof tmp, "%s/%s.xwatch-tmp", g_dir, name);
  snprintf(final, sizeof final, "%s/%s", g_dir, name);
  FILE* f = fopen(tmp, "w");
  if (!f) return -1;
  fputs(text, f);
  if (fclose(f) != 0) return -1;
  return rename(tmp, final);
}

/* --- The record: a growing text buffer ---------------------------------------------------------- */

static char* g_rec;
static size_t g_recLen, g_recCap;

static void Rec(const char* fmt, ...) {
  char line[512];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if ((size_t)n >= sizeof line) n = sizeof line - 1;
  if (g_recLen + (size_t)n + 1 > g_recCap) {
    size_t cap = g_recCap ? g_recCap * 2 : 1 << 16;
    while (cap < g_recLen + (size_t)n + 1) cap *= 2;
    char* p = realloc(g_rec, cap);
    if (!p) return;
    g_rec = p;
    g_recCap = cap;
  }
  memcpy(g_rec + g_recLen, line, (size_t)n);
  g_recLen += (size_t)n;
  g_rec[g_recLen] = 0;
}

/* --- The screen --------------------------------------------------------------------------------- */

static Display* g_dpy;
static Window g_root;
static int g_w, g_h;
static XImage* g_img;
static XShmSegmentInfo g_shm;
static int g_useShm;
static uint32_t* g_snapshot; /* the screen at the start command, 0x00RRGGBB */
static uint32_t g_fill[2] = {0x000000u, 0xf0f0f0u};

static int SetUpReadback(void) {
  int screen = DefaultScreen(g_dpy);
  Visual* visual = DefaultVisual(g_dpy, screen);
  int depth = DefaultDepth(g_dpy, screen);
  if (XShmQueryExtension(g_dpy)) {
    g_img = XShmCreateImage(g_dpy, visual, (unsigned)depth, ZPixmap, NULL, &g_shm, (unsigned)g_w, (unsigned)g_h);
    if (g_img) {
      g_shm.shmid = shmget(IPC_PRIVATE, (size_t)g_img->bytes_per_line * (size_t)g_img->height, IPC_CREAT | 0600);
      if (g_shm.shmid >= 0) {
        g_shm.shmaddr = g_img->data = shmat(g_shm.shmid, NULL, 0);
        g_shm.readOnly = False;
        if (g_shm.shmaddr != (char*)-1 && XShmAttach(g_dpy, &g_shm)) {
          XSync(g_dpy, False);
          shmctl(g_shm.shmid, IPC_RMID, NULL); /* goes when both sides detach */
          g_useShm = 1;
        }
      }
    }
  }
  g_snapshot = calloc((size_t)g_w * (size_t)g_h, sizeof *g_snapshot);
  return g_snapshot != NULL;
}

/* Reads the whole screen; the returned image is valid until the next call. */
static XImage* ReadScreen(void) {
  if (g_useShm) {
    if (XShmGetImage(g_dpy, g_root, g_img, 0, 0, AllPlanes)) return g_img;
    return NULL;
  }
  static XImage* plain;
  if (plain) XDestroyImage(plain);
  plain = XGetImage(g_dpy, g_root, 0, 0, (unsigned)g_w, (unsigned)g_h, AllPlanes, ZPixmap);
  return plain;
}

static uint32_t PixelAt(XImage* img, int x, int y) {
  if (img->bits_per_pixel == 32) {
    return *(uint32_t*)(img->data + (size_t)y * (size_t)img->bytes_per_line + (size_t)x * 4) & 0xFFFFFFu;
  }
  return (uint32_t)XGetPixel(img, x, y) & 0xFFFFFFu;
}

static void TakeSnapshot(void) {
  XImage* img = ReadScreen();
  if (!img) return;
  for (int y = 0; y < g_h; ++y)
    for (int x = 0; x < g_w; ++x) g_snapshot[(size_t)y * (size_t)g_w + (size_t)x] = PixelAt(img, x, y);
}

struct Look {
  double black, face, same;
};

static struct Look LookAtScreen(void) {
  struct Look look = {0, 0, 0};
  XImage* img = ReadScreen();
  if (!img) return look;
  size_t fill0 = 0, fill1 = 0, same = 0;
  for (int y = 0; y < g_h; ++y) {
    const uint32_t* snap = g_snapshot + (size_t)y * (size_t)g_w;
    for (int x = 0; x < g_w; ++x) {
      uint32_t p = PixelAt(img, x, y);
      fill0 += p == g_fill[0];
      fill1 += p == g_fill[1];
      same += p == snap[x];
    }
  }
  double all = (double)g_w * (double)g_h;
  look.black = (double)fill0 / all;
  look.face = (double)fill1 / all;
  look.same = (double)same / all;
  return look;
}

/* --- Probes: points whose colour is waited for ------------------------------------------------------ */

struct Probe {
  int x, y;
  uint32_t rgb;
  int tolerance;
  int seen;
};
static struct Probe* g_probes;
static int g_probeCount, g_probesSeen;

static void LoadProbes(void) {
  char path[4096];
  snprintf(path, sizeof path, "%s/probes", g_dir);
  free(g_probes);
  g_probes = NULL;
  g_probeCount = g_probesSeen = 0;
  FILE* f = fopen(path, "r");
  if (!f) return;
  int cap = 0, x, y, tolerance;
  unsigned rgb;
  while (fscanf(f, "%d %d %x %d", &x, &y, &rgb, &tolerance) == 4) {
    if (g_probeCount == cap) {
      cap = cap ? cap * 2 : 256;
      struct Probe* p = realloc(g_probes, (size_t)cap * sizeof *p);
      if (!p) break;
      g_probes = p;
    }
    g_probes[g_probeCount++] = (struct Probe){x, y, rgb & 0xFFFFFFu, tolerance, 0};
  }
  fclose(f);
}

static int Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance) return 0;
  }
  return 1;
}

/* Looks at the probes under a drawing; records those that show their colour for the first time. */
static void LookAtProbes(int x, int y, int w, int h) {
  for (int i = 0; i < g_probeCount; ++i) {
    struct Probe* p = &g_probes[i];
    if (p->seen || p->x < x || p->x >= x + w || p->y < y || p->y >= y + h) continue;
    XImage* one = XGetImage(g_dpy, g_root, p->x, p->y, 1, 1, AllPlanes, ZPixmap);
    if (!one) continue;
    uint32_t rgb = PixelAt(one, 0, 0);
    XDestroyImage(one);
    if (!Near(rgb, p->rgb, p->tolerance)) continue;
    p->seen = 1;
    ++g_probesSeen;
    Rec("probe %llu %d\n", NowTicks(), i);
  }
}

/* --- Recording state ------------------------------------------------------------------------------ */

static int g_recording;
static char g_label[256];
static ticks_t g_mapTicks, g_paintedTicks;
static int g_fills, g_fullDamages, g_looks, g_damages;
static ticks_t g_lastDamage;
static Region g_sinceMap; /* drawings since the first full-screen map */
/* A look at the screen that the drawings handled so far ask for, and the time of the last of them. */
static int g_lookWanted;
static ticks_t g_lookAfter;

static int CoversMostOfScreen(int x, int y, int w, int h) {
  long left = x < 0 ? 0 : x, top = y < 0 ? 0 : y;
  long right = x + w > g_w ? g_w : x + w, bottom = y + h > g_h ? g_h : y + h;
  if (right <= left || bottom <= top) return 0;
  return (right - left) * (bottom - top) * 10 >= (long)g_w * g_h * 9;
}

static void ResetRecord(void) {
  g_recLen = 0;
  if (g_rec) g_rec[0] = 0;
  g_mapTicks = g_paintedTicks = 0;
  g_fills = g_fullDamages = g_looks = g_damages = 0;
  g_lastDamage = 0;
  g_lookWanted = 0;
  if (g_sinceMap) XDestroyRegion(g_sinceMap);
  g_sinceMap = NULL;
}

/* --- Windows: maps of (nearly) full-screen windows --------------------------------------------- */

static int g_ignoreErrors(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e;
  return 0; /* windows come and go while we look at them */
}

static void WatchSubstructure(Window w) { XSelectInput(g_dpy, w, SubstructureNotifyMask); }

static void WatchExistingTopLevels(void) {
  Window rootRet, parent, *children = NULL;
  unsigned n = 0;
  if (XQueryTree(g_dpy, g_root, &rootRet, &parent, &children, &n)) {
    for (unsigned i = 0; i < n; ++i) WatchSubstructure(children[i]);
    if (children) XFree(children);
  }
}

static int RootRect(Window w, int* x, int* y, int* width, int* height) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(g_dpy, w, &a)) return 0;
  Window child;
  if (!XTranslateCoordinates(g_dpy, w, g_root, 0, 0, x, y, &child)) return 0;
  *width = a.width;
  *height = a.height;
  return 1;
}

/* --- Events --------------------------------------------------------------------------------------- */

struct Stamped {
  XEvent ev;
  ticks_t t;
};

static int g_damageBase;

/* Handles one batch of events read together, stamped when they were read. */
static void HandleBatch(struct Stamped* evs, int n) {
  for (int i = 0; i < n; ++i) {
    XEvent* ev = &evs[i].ev;
    ticks_t t = evs[i].t;
    if (ev->type == g_damageBase + XDamageNotify) {
      XDamageNotifyEvent* d = (XDamageNotifyEvent*)ev;
      if (!g_recording) continue;
      int x = d->area.x, y = d->area.y, w = d->area.width, h = d->area.height;
      Rec("damage %llu %d %d %d %d\n", t, x, y, w, h);
      ++g_damages;
      if (g_probesSeen < g_probeCount) LookAtProbes(x, y, w, h);
      g_lastDamage = t;
      int big = CoversMostOfScreen(x, y, w, h);
      if (g_mapTicks) {
        if (big) ++g_fullDamages;
        XRectangle r = {(short)x, (short)y, (unsigned short)w, (unsigned short)h};
        XUnionRectWithRegion(&r, g_sinceMap, g_sinceMap);
      }
      /* Look at the screen after every large drawing, and after any drawing that may complete
         the picture. */
      if (big || (g_mapTicks && !g_paintedTicks && XRectInRegion(g_sinceMap, 0, 0, (unsigned)g_w, (unsigned)g_h) == RectangleIn)) {
        g_lookWanted = 1;
        g_lookAfter = t;
      }
    } else if (ev->type == CreateNotify) {
      if (ev->xcreatewindow.parent == g_root) WatchSubstructure(ev->xcreatewindow.window);
    } else if (ev->type == MapNotify) {
      if (!g_recording) continue;
      int x, y, w, h;
      if (RootRect(ev->xmap.window, &x, &y, &w, &h) && CoversMostOfScreen(x, y, w, h)) {
        Rec("map %llu 0x%lx %d %d %d %d\n", t, (unsigned long)ev->xmap.window, x, y, w, h);
        if (!g_mapTicks) {
          g_mapTicks = t;
          g_sinceMap = XCreateRegion();
        }
      }
    } else if (ev->type == UnmapNotify) {
      if (!g_recording) continue;
      int x, y, w, h;
      if (RootRect(ev->xunmap.window, &x, &y, &w, &h) && CoversMostOfScreen(x, y, w, h))
        Rec("unmap %llu 0x%lx\n", t, (unsigned long)ev->xunmap.window);
    }
  }
}

/* The look the drawings asked for, once for all of them that were read together. A look reads and
   compares the whole screen, which takes a while on a busy machine; one per batch let the drawings
   that arrived meanwhile ask for another, and a watcher behind the screen fell further behind with
   every look (and answered its commands late). A look shows the screen as it is now in any case,
   not as it was at a drawing read long before. */
static void LookIfWanted(void) {
  if (!g_lookWanted) return;
  g_lookWanted = 0;
  struct Look l = LookAtScreen();
  ++g_looks;
  Rec("look %llu black=%.4f face=%.4f same=%.4f\n", NowTicks(), l.black, l.face, l.same);
  if (l.black >= 0.9 || l.face >= 0.9) ++g_fills;
  /* Nearly all of it: a small window may have redrawn meanwhile (the window manager redraws the
     frame of Wine's notification-area window when the focus moves at the key). */
  if (g_mapTicks && !g_paintedTicks && l.same >= 0.995 &&
      XRectInRegion(g_sinceMap, 0, 0, (unsigned)g_w, (unsigned)g_h) == RectangleIn) {
    g_paintedTicks = g_lookAfter;
  }
}

static void PumpX(void) {
  enum { kMax = 256 };
  static struct Stamped batch[kMax];
  /* Bounded, so that a screen that never stops drawing cannot starve the commands. */
  for (int batches = 0; batches < 64 && XEventsQueued(g_dpy, QueuedAfterReading) > 0; ++batches) {
    ticks_t t = NowTicks();
    int n = 0;
    while (n < kMax && XEventsQueued(g_dpy, QueuedAlready) > 0) {
      XNextEvent(g_dpy, &batch[n].ev);
      batch[n].t = t;
      ++n;
    }
    HandleBatch(batch, n);
  }
  LookIfWanted();
}

/* --- Commands --------------------------------------------------------------------------------------- */

static int ParseHex(const char* s, uint32_t* out) {
  char* end;
  unsigned long v = strtoul(s, &end, 16);
  if (end == s) return 0;
  *out = (uint32_t)v & 0xFFFFFFu;
  return 1;
}

static int GoodLabel(const char* s) {
  if (!*s) return 0;
  for (; *s && *s != ' '; ++s) {
    if (!((*s >= 'a' && *s <= 'z') || (*s >= 'A' && *s <= 'Z') || (*s >= '0' && *s <= '9') || *s == '.' ||
          *s == '-' || *s == '_'))
      return 0;
  }
  return 1;
}

/* Returns 0 when the program should end. */
static int RunCommand(char* line) {
  char* nl = strpbrk(line, "\r\n");
  if (nl) *nl = 0;
  char ack[512];
  if ((strncmp(line, "start ", 6) == 0 && !GoodLabel(line + 6)) || (strncmp(line, "stop ", 5) == 0 && !GoodLabel(line + 5)) ||
      (strncmp(line, "peek ", 5) == 0 && !GoodLabel(line + 5)) ||
      (strncmp(line, "cursor ", 7) == 0 && !GoodLabel(line + 7))) {
    snprintf(ack, sizeof ack, "error bad label: %.400s\n", line);
    WriteFileAtomically("ack", ack);
    return 1;
  }
  if (strncmp(line, "start ", 6) == 0) {
    char* label = line + 6;
    char* opts = strchr(label, ' ');
    g_fill[0] = 0x000000u;
    g_fill[1] = 0xf0f0f0u;
    if (opts) {
      *opts++ = 0;
      char* f = strstr(opts, "fill=");
      if (f) {
        ParseHex(f + 5, &g_fill[0]);
        char* comma = strchr(f, ',');
        if (comma) ParseHex(comma + 1, &g_fill[1]);
      }
    }
    snprintf(g_label, sizeof g_label, "%.200s", label);
    g_probeCount = g_probesSeen = 0;
    if (opts && strstr(opts, "probes")) LoadProbes();
    /* Whatever was drawn before the start is not part of this record. */
    XSync(g_dpy, False);
    g_recording = 0;
    PumpX();
    ResetRecord();
    TakeSnapshot();
    ticks_t t = NowTicks();
    Rec("xwatch 1\nclock CLOCK_MONOTONIC_RAW 10000000\nscreen %d %d\nlabel %s\nfill %06x %06x\nstart %llu\n", g_w,
        g_h, g_label, g_fill[0], g_fill[1], t);
    g_recording = 1;
    snprintf(ack, sizeof ack, "started %s %llu\n", g_label, t);
    WriteFileAtomically("ack", ack);
  } else if (strncmp(line, "peek ", 5) == 0) {
    XSync(g_dpy, False);
    PumpX();
    snprintf(ack, sizeof ack, "progress %.200s map=%llu painted=%llu damages=%d last=%llu fills=%d\n", line + 5,
             g_mapTicks, g_paintedTicks, g_damages, g_lastDamage, g_fills);
    WriteFileAtomically("ack", ack);
  } else if (strncmp(line, "stop ", 5) == 0) {
    /* Everything the server did before it read our request below is in the record. */
    XSync(g_dpy, False);
    PumpX();
    ticks_t t = NowTicks();
    g_recording = 0;
    Rec("stop %llu\nsummary map=%llu painted=%llu fills=%d full_damages=%d looks=%d probes=%d/%d\n", t, g_mapTicks,
        g_paintedTicks, g_fills, g_fullDamages, g_looks, g_probesSeen, g_probeCount);
    char name[300];
    snprintf(name, sizeof name, "record-%.200s.txt", line + 5);
    WriteFileAtomically(name, g_rec ? g_rec : "");
    snprintf(ack, sizeof ack, "stopped %.200s\n", line + 5);
    WriteFileAtomically("ack", ack);
  } else if (strncmp(line, "cursor ", 7) == 0) {
    XFixesCursorImage* c = XFixesGetCursorImage(g_dpy);
    if (c) {
      snprintf(ack, sizeof ack, "cursor %.200s %d %d %d %d\n", line + 7, c->width, c->height, c->xhot, c->yhot);
      XFree(c);
    } else {
      snprintf(ack, sizeof ack, "cursor %.200s 0 0 0 0\n", line + 7);
    }
    WriteFileAtomically("ack", ack);
  } else if (strncmp(line, "key down ", 9) == 0 || strncmp(line, "key up ", 7) == 0) {
    const int down = line[4] == 'd';
    const char* name = line + (down ? 9 : 7);
    KeySym sym = XStringToKeysym(name);
    KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(g_dpy, sym);
    if (!code) {
      snprintf(ack, sizeof ack, "error unknown key: %.400s\n", name);
    } else {
      XTestFakeKeyEvent(g_dpy, code, down ? True : False, CurrentTime);
      /* The server has it once it has answered. */
      XSync(g_dpy, False);
      snprintf(ack, sizeof ack, "key %s %.200s\n", down ? "down" : "up", name);
    }
    WriteFileAtomically("ack", ack);
  } else if (strcmp(line, "quit") == 0) {
    WriteFileAtomically("ack", "bye\n");
    return 0;
  } else {
    snprintf(ack, sizeof ack, "error unknown command: %.400s\n", line);
    WriteFileAtomically("ack", ack);
  }
  return 1;
}

/* Returns 0 when the program should end. A command is acted on once its line is complete. */
static int ReadCommand(void) {
  char path[4096], line[1024];
  snprintf(path, sizeof path, "%s/cmd", g_dir);
  FILE* f = fopen(path, "r");
  if (!f) return 1;
  size_t n = fread(line, 1, sizeof line - 1, f);
  fclose(f);
  line[n] = 0;
  if (n == 0 || line[n - 1] != '\n') return 1; /* still being written */
  unlink(path);
  return RunCommand(line);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: xwatch CONTROL_DIR   (DISPLAY names the screen)\n");
    return 2;
  }
  g_dir = argv[1];
  g_dpy = XOpenDisplay(NULL);
  if (!g_dpy) {
    fprintf(stderr, "xwatch: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(g_ignoreErrors);
  g_root = DefaultRootWindow(g_dpy);
  g_w = DisplayWidth(g_dpy, DefaultScreen(g_dpy));
  g_h = DisplayHeight(g_dpy, DefaultScreen(g_dpy));
  int damageError;
  if (!XDamageQueryExtension(g_dpy, &g_damageBase, &damageError)) {
    fprintf(stderr, "xwatch: the X server has no DAMAGE extension\n");
    return 1;
  }
  int fixesEvent, fixesError, fixesMajor = 4, fixesMinor = 0;
  if (XFixesQueryExtension(g_dpy, &fixesEvent, &fixesError)) XFixesQueryVersion(g_dpy, &fixesMajor, &fixesMinor);
  if (!SetUpReadback()) return 1;
  XDamageCreate(g_dpy, g_root, XDamageReportRawRectangles);
  WatchSubstructure(g_root);
  WatchExistingTopLevels();
  XSync(g_dpy, False);

  int in = inotify_init1(IN_CLOEXEC);
  if (in < 0 || inotify_add_watch(in, g_dir, IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    fprintf(stderr, "xwatch: cannot watch %s: %s\n", g_dir, strerror(errno));
    return 1;
  }
  char ready[64];
  snprintf(ready, sizeof ready, "%d\n", (int)getpid());
  WriteFileAtomically("ready", ready);
  /* A command written before the watch began. */
  if (!ReadCommand()) return 0;

  struct pollfd fds[2] = {{ConnectionNumber(g_dpy), POLLIN, 0}, {in, POLLIN, 0}};
  for (;;) {
    PumpX();
    XFlush(g_dpy);
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[0].revents & (POLLERR | POLLHUP)) return 1;
    if (fds[1].revents & POLLIN) {
      char buf[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
      ssize_t len = read(in, buf, sizeof buf);
      int cmd = 0;
      for (char* p = buf; len > 0 && p < buf + len;) {
        struct inotify_event* e = (struct inotify_event*)p;
        if (e->len && strcmp(e->name, "cmd") == 0) cmd = 1;
        p += sizeof *e + e->len;
      }
      if (cmd && !ReadCommand()) return 0;
    }
  }
}
