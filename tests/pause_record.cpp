// The test build's pause: appends "pause N" to the file CHG4917_PAUSE_LOG names
// instead of waiting, saying if output is still in stdout's buffer (glibc
// only). On Windows it holds while tests/console_probe.cpp reads the console,
// and lasts CHG4917_PAUSE_MS milliseconds a second, for the kit's tests.
#include <stdio.h>
#include <stdlib.h>

#include "../src/pause.h"
#ifdef _WIN32
#include <windows.h>
#define unflushed(stream) 0
#else
#include <stdio_ext.h>
#define unflushed(stream) __fpending(stream)
#endif

void pause_seconds(unsigned seconds)
{
    const char *path = getenv("CHG4917_PAUSE_LOG");
    FILE *log = path && *path ? fopen(path, "a") : NULL;
    if (!log || fprintf(log, "pause %u%s\n", seconds, unflushed(stdout) ? " with output not flushed" : "") < 0 ||
        fclose(log) != 0)
        fprintf(stderr, "(pause of %u s not recorded)\n", seconds);
#ifdef _WIN32
    const char *ms = getenv("CHG4917_PAUSE_MS");
    Sleep(ms ? seconds * (DWORD)strtoul(ms, NULL, 10) : 0);
    HANDLE paused = OpenEventA(EVENT_MODIFY_STATE, FALSE, "chg4917_paused");
    HANDLE resume = OpenEventA(SYNCHRONIZE, FALSE, "chg4917_resume");
    if (paused && resume && SetEvent(paused))
        WaitForSingleObject(resume, 30000);
#endif
}
