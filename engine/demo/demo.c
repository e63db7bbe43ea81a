/* Orvan Demo: the smallest engine module worth copying.
 *
 * It opens a window, bounces a square, quits on the window's close button or
 * Escape, and asks the launcher for a restart on R. "-frames N" on the
 * command line ends the game by itself after N frames, so it can run without
 * anyone at the keyboard.
 */
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orvan_engine.h"

static SDL_Surface* s_screen;
static int s_frameLimit = -1; /* -1: run until the player quits */
static int s_restart;
static int s_cycle;

int vokGetAppName(char* shortName, char* longName, char* appId, int* build) {
  snprintf(shortName, 256, "%s", "OrvanDemo");
  snprintf(longName, 256, "%s", "Orvan Demo");
  snprintf(appId, 256, "%s", "orvan-demo");
  *build = 42;
  return 1;
}

int vokCreate(int argc, char** argv) {
  int i;
  s_restart = 0;
  for (i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-frames") == 0) s_frameLimit = atoi(argv[i + 1]);
  }
  s_screen = SDL_SetVideoMode(640, 480, 32, SDL_SWSURFACE);
  if (s_screen == NULL) {
    fprintf(stderr, "Orvan Demo: no window: %s\n", SDL_GetError());
    return 1; /* nothing to run: ask the launcher to close at once */
  }
  SDL_WM_SetCaption("Orvan Demo", "Orvan Demo");
  ++s_cycle;
  return 0;
}

static void DrawFrame(int frame) {
  SDL_Rect square;
  int span = s_screen->w - 64;
  int x = frame % (2 * span);
  if (x > span) x = 2 * span - x; /* bounce back */
  SDL_FillRect(s_screen, NULL, SDL_MapRGB(s_screen->format, 16, 24, 48));
  square.x = (Sint16)x;
  square.y = (Sint16)(s_screen->h / 2 - 32);
  square.w = 64;
  square.h = 64;
  SDL_FillRect(s_screen, &square, SDL_MapRGB(s_screen->format, 240, 180, 40));
  SDL_Flip(s_screen);
}

int vokRun(void) {
  int frame;
  for (frame = 0; s_frameLimit < 0 || frame < s_frameLimit; ++frame) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) return 0;
      if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return 0;
      if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_r) {
        s_restart = 1;
        return 0;
      }
    }
    DrawFrame(frame * 4);
    SDL_Delay(16);
  }
  return 0;
}

int vokClose(void) {
  s_screen = NULL; /* the launcher's SDL_Quit frees it */
  return s_restart;
}

int vokSendIPC(const char* message) {
  printf("Orvan Demo received: %s\n", message);
  fflush(stdout);
  return 1;
}
