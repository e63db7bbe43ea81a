/* Orvan Demo: a small game to start an engine module from.
 *
 * Catch the falling stars with the paddle (Left/Right or the mouse). Around
 * the game the screen shows what passes between the launcher and the module:
 * the names and build number the launcher took from vokGetAppName, the launch
 * cycle (R asks for a restart: the same process runs a new cycle, and static
 * state such as the best score carries over), and the messages that arrive
 * through vokSendIPC. Escape, the window's close button and SIGTERM (which
 * reaches the game as SDL_QUIT) end it.
 *
 * "-frames N" ends each cycle by itself after N frames, so the game can run
 * without anyone at the keyboard (tests, SDL_VIDEODRIVER=dummy).
 *
 * The working directory is the bundle's Contents/Resources folder, so data
 * files are opened by relative names ("data/tips.txt").
 */
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "font.h"
#include "orvan_engine.h"

/* Globals the launcher exports to the module. Their names differ from the
 * module's own, so plain declarations reach them; they are resolved when the
 * launcher loads the module (docs/engine-guide.md lists them all). */
extern char g_AppNameShort[256];
extern char g_AppNameLong[256];
extern char g_AppID[256];
extern int g_nBuild;
extern char g_UserPath[256];
extern char g_AppCommandLine[4096];

enum {
  kWidth = 640,
  kHeight = 480,
  kFieldTop = 196, /* stars start falling here, below the texts */
  kPaddleWidth = 88,
  kPaddleHeight = 12,
  kPaddleY = 444,
  kPaddleSpeed = 7,
  kStarSize = 12,
  kMaxStars = 8,
  kStarEvery = 36, /* frames between two new stars */
  kMessages = 4    /* messages kept on screen, newest last */
};

typedef struct {
  int live;
  int x, y, speed;
} Star;

/* --- State that lives as long as the process (the module stays loaded) --- */
static int s_cycle;           /* launch cycles so far */
static int s_best;            /* best score over every cycle */
static char s_messages[kMessages][256];
static int s_messageCount;    /* messages received so far */

/* --- State of one cycle --- */
static SDL_Surface* s_screen;
static int s_frameLimit;      /* -1: run until the player quits */
static int s_restart;         /* R pressed: vokClose asks for another cycle */
static char s_tip[128];
static int s_paddleX;
static Star s_stars[kMaxStars];
static int s_score, s_missed;
static unsigned s_seed;

/* The names, build number and folders the launcher reports back. */
int vokGetAppName(char* shortName, char* longName, char* appId, int* build) {
  snprintf(shortName, 256, "%s", "OrvanDemo");
  snprintf(longName, 256, "%s", "Orvan Demo");
  snprintf(appId, 256, "%s", "orvan-demo");
  *build = 42;
  return 1;
}

static int Random(int below) {
  s_seed = s_seed * 1103515245u + 12345u;
  return (int)((s_seed >> 16) % (unsigned)below);
}

/* One line of data/tips.txt, the next one in each cycle. */
static void LoadTip(void) {
  char lines[8][128];
  int count = 0;
  FILE* tips = fopen("data/tips.txt", "r");
  s_tip[0] = '\0';
  if (tips == NULL) return;
  while (count < 8 && fgets(lines[count], sizeof lines[0], tips) != NULL) {
    lines[count][strcspn(lines[count], "\r\n")] = '\0';
    if (lines[count][0] != '\0') ++count;
  }
  fclose(tips);
  if (count > 0) snprintf(s_tip, sizeof s_tip, "%s", lines[(s_cycle - 1) % count]);
}

int vokCreate(int argc, char** argv) {
  int i;
  s_frameLimit = -1;
  for (i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-frames") == 0) s_frameLimit = atoi(argv[i + 1]);
  }
  s_screen = SDL_SetVideoMode(kWidth, kHeight, 32, SDL_SWSURFACE);
  if (s_screen == NULL) {
    fprintf(stderr, "Orvan Demo: no window: %s\n", SDL_GetError());
    return 1; /* nothing to run: ask the launcher to close at once */
  }
  SDL_WM_SetCaption(g_AppNameLong, g_AppNameShort);

  ++s_cycle;
  s_restart = 0;
  s_seed = (unsigned)s_cycle;
  s_paddleX = (kWidth - kPaddleWidth) / 2;
  memset(s_stars, 0, sizeof s_stars);
  s_score = 0;
  s_missed = 0;
  LoadTip();
  printf("Orvan Demo: cycle %d started in process %ld\n", s_cycle, (long)getpid());
  fflush(stdout);
  return 0;
}

/* 0 when the game should end: quit, Escape, or R (restart). */
static int HandleEvents(void) {
  SDL_Event event;
  Uint8* keys;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) return 0;
    if (event.type == SDL_MOUSEMOTION) s_paddleX = event.motion.x - kPaddleWidth / 2;
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return 0;
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_r) {
      s_restart = 1;
      return 0;
    }
  }
  keys = SDL_GetKeyState(NULL);
  if (keys[SDLK_LEFT]) s_paddleX -= kPaddleSpeed;
  if (keys[SDLK_RIGHT]) s_paddleX += kPaddleSpeed;
  if (s_paddleX < 0) s_paddleX = 0;
  if (s_paddleX > kWidth - kPaddleWidth) s_paddleX = kWidth - kPaddleWidth;
  return 1;
}

static void DropStar(void) {
  int i;
  for (i = 0; i < kMaxStars; ++i) {
    if (!s_stars[i].live) {
      s_stars[i].live = 1;
      s_stars[i].x = Random(kWidth - kStarSize);
      s_stars[i].y = kFieldTop;
      s_stars[i].speed = 2 + Random(3);
      return;
    }
  }
}

static void Step(int frame) {
  int i;
  if (frame % kStarEvery == 0) DropStar();
  for (i = 0; i < kMaxStars; ++i) {
    Star* star = &s_stars[i];
    if (!star->live) continue;
    star->y += star->speed;
    if (star->y + kStarSize >= kPaddleY && star->y <= kPaddleY + kPaddleHeight &&
        star->x + kStarSize > s_paddleX && star->x < s_paddleX + kPaddleWidth) {
      star->live = 0;
      if (++s_score > s_best) s_best = s_score;
    } else if (star->y >= kHeight) {
      star->live = 0;
      ++s_missed;
    }
  }
}

static void FillBox(int x, int y, int w, int h, Uint32 color) {
  SDL_Rect box;
  box.x = (Sint16)x;
  box.y = (Sint16)y;
  box.w = (Uint16)w;
  box.h = (Uint16)h;
  SDL_FillRect(s_screen, &box, color);
}

static void Draw(void) {
  Uint32 background = SDL_MapRGB(s_screen->format, 16, 24, 48);
  Uint32 bar = SDL_MapRGB(s_screen->format, 30, 42, 84);
  Uint32 amber = SDL_MapRGB(s_screen->format, 240, 180, 40);
  Uint32 text = SDL_MapRGB(s_screen->format, 230, 230, 215);
  Uint32 dim = SDL_MapRGB(s_screen->format, 140, 150, 180);
  Uint32 green = SDL_MapRGB(s_screen->format, 140, 230, 140);
  Uint32 cyan = SDL_MapRGB(s_screen->format, 120, 220, 255);
  char line[600]; /* room for two names of 255 characters and their labels */
  int i, shown;

  SDL_FillRect(s_screen, NULL, background);

  /* What the launcher knows about the game. */
  FillBox(0, 0, kWidth, 88, bar);
  DrawText(s_screen, 12, 8, 3, amber, g_AppNameLong);
  snprintf(line, sizeof line, "build %d", g_nBuild);
  DrawText(s_screen, kWidth - 12 - TextWidth(line, 2), 14, 2, amber, line);
  snprintf(line, sizeof line, "short name %s   app id %s", g_AppNameShort, g_AppID);
  DrawText(s_screen, 12, 38, 1, text, line);
  snprintf(line, sizeof line, "cycle %d in process %ld (R restarts in the same process)", s_cycle,
           (long)getpid());
  DrawText(s_screen, 12, 50, 1, text, line);
  DrawText(s_screen, 12, 62, 1, dim, "data folder");
  DrawText(s_screen, 12 + TextWidth("data folder ", 1), 62, 1, dim, g_UserPath);
  DrawText(s_screen, 12, 74, 1, dim, "command line");
  DrawText(s_screen, 12 + TextWidth("command line ", 1), 74, 1, dim, g_AppCommandLine);

  /* The game. */
  snprintf(line, sizeof line, "score %d   missed %d   best %d", s_score, s_missed, s_best);
  DrawText(s_screen, 12, 98, 2, text, line);
  DrawText(s_screen, 12, 118, 1, dim, s_tip);

  snprintf(line, sizeof line, "messages through vokSendIPC: %d", s_messageCount);
  DrawText(s_screen, 12, 134, 1, text, line);
  shown = s_messageCount < kMessages ? s_messageCount : kMessages;
  for (i = 0; i < shown; ++i) {
    int index = (s_messageCount - shown + i) % kMessages;
    DrawText(s_screen, 24, 146 + 12 * i, 1, green, s_messages[index]);
  }

  for (i = 0; i < kMaxStars; ++i) {
    if (s_stars[i].live) FillBox(s_stars[i].x, s_stars[i].y, kStarSize, kStarSize, cyan);
  }
  FillBox(s_paddleX, kPaddleY, kPaddleWidth, kPaddleHeight, amber);

  snprintf(line, sizeof line, "%s", "Left/Right or mouse: move   R: restart   Esc: quit");
  DrawText(s_screen, (kWidth - TextWidth(line, 1)) / 2, kHeight - 12, 1, dim, line);
  SDL_Flip(s_screen);
}

int vokRun(void) {
  int frame;
  for (frame = 0; s_frameLimit < 0 || frame < s_frameLimit; ++frame) {
    if (!HandleEvents()) break;
    Step(frame);
    Draw();
    if (frame == 0) {
      printf("Orvan Demo: cycle %d on screen\n", s_cycle);
      fflush(stdout);
    }
    SDL_Delay(16);
  }
  return 0;
}

int vokClose(void) {
  s_screen = NULL; /* the launcher's SDL_Quit frees it */
  printf("Orvan Demo: cycle %d ends%s\n", s_cycle, s_restart ? ", restart requested" : "");
  fflush(stdout);
  return s_restart;
}

/* May come at any time: before the game runs (a message held by the
 * launcher), or from inside vokRun while the launcher handles events. The
 * text is only valid during the call, so keep a copy. */
int vokSendIPC(const char* message) {
  snprintf(s_messages[s_messageCount % kMessages], sizeof s_messages[0], "%s", message);
  ++s_messageCount;
  printf("Orvan Demo received: %s\n", message);
  fflush(stdout);
  return 1;
}
