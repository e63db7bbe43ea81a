/* A 5x7 bitmap font for printable ASCII, drawn with SDL_FillRect. */
#ifndef ORVAN_DEMO_FONT_H
#define ORVAN_DEMO_FONT_H

#include <SDL.h>

/* Each character takes (5 + 1) * scale pixels across and 7 * scale down. */
#define FONT_ADVANCE 6
#define FONT_HEIGHT 7

/* Draws `text` with its top left corner at x, y; bytes outside printable
 * ASCII show as '?'. Stops at the surface's right edge. */
void DrawText(SDL_Surface* surface, int x, int y, int scale, Uint32 color, const char* text);

/* How many pixels across `text` takes at `scale`. */
int TextWidth(const char* text, int scale);

#endif
