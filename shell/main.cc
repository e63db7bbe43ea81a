// Process entry point.
// PLACEHOLDER until the desktop shell lands: runs the launch cycles directly.
#include "launcher/launcher.h"

int main(int argc, char** argv) { return SDL_main(argc, argv); }
