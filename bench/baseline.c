/* The least a launcher must do: start, open the engine module, start and
 * stop the media layer. Whole-launch timings are compared against this. */
#include <SDL.h>
#include <dlfcn.h>
#include <stdio.h>

int main(int argc, char** argv) {
  const char* module = argc > 1 ? argv[1] : "./zizuzo.so";
  void* handle = dlopen(module, RTLD_LAZY);
  if (handle == NULL) {
    fprintf(stderr, "baseline: %s\n", dlerror());
    return 1;
  }
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "baseline: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Quit();
  return 0;
}
