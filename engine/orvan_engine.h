/* Orvan engine SDK: the five entry points an engine module exports.
 *
 * The launcher loads the module (zizuzo.so, in the bundle's
 * Contents/Resources folder) and calls, on its main thread, with the
 * resources folder as the working directory, once per launch cycle:
 *
 *   1. vokGetAppName  names and build number; buffers are 256 bytes each,
 *                     write at most 255 characters and a terminator
 *   2. vokCreate      after SDL_Init(SDL_INIT_VIDEO); nonzero = quit at once
 *   3. vokSendIPC     a message that arrived before the engine was bound
 *   4. vokRun         only when vokCreate returned 0; return when the game ends
 *   5. vokClose       nonzero = restart: the launcher runs another cycle in
 *                     the same process (ten cycles at most)
 *
 * vokSendIPC may also be called at any time while vokRun runs, for example
 * with "OpenFile|<path>" when the user opens a file with the game. The text
 * is valid only during the call.
 *
 * The module stays loaded for the life of the process, so its static state
 * carries over from one cycle to the next.
 *
 * Link the module with -Wl,-Bsymbolic: the launcher exports variables with
 * these same names (its pointers to your functions), and without it your own
 * calls could resolve to them.
 */
#ifndef ORVAN_ENGINE_H
#define ORVAN_ENGINE_H

#ifdef __cplusplus
extern "C" {
#endif

#define ORVAN_EXPORT __attribute__((visibility("default")))

ORVAN_EXPORT int vokGetAppName(char* shortName, char* longName, char* appId, int* build);
ORVAN_EXPORT int vokCreate(int argc, char** argv);
ORVAN_EXPORT int vokRun(void);
ORVAN_EXPORT int vokClose(void);
ORVAN_EXPORT int vokSendIPC(const char* message);

#ifdef __cplusplus
}
#endif

#endif
