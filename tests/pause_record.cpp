// The test build's pause: appends "pause N" to the file CHG4917_PAUSE_LOG
// names instead of waiting. On Linux it also says when output is still in
// stdout's buffer, not shown before the pause. On Windows, started by
// tests/console_probe.cpp, it holds while the probe reads the console.
#include <stdio.h>
#include <stdlib.h>
#ifdef __GLIBC__
#include <stdio_ext.h>
#endif

#include "../src/pause.h"
#ifdef _WIN32
#include <windows.h>
#endif

void pause_seconds(unsigned seconds)
{
    const char *path = getenv("CHG4917_PAUSE_LOG");
    FILE *log = path && *path ? fopen(path, "a") : NULL;
#ifdef __GLIBC__
    const char *unflushed = __fpending(stdout) ? " with output not flushed" : "";
#else
    const char *unflushed = "";
#endif
    if (!log || fprintf(log, "pause %u%s\n", seconds, unflushed) < 0 || fclose(log) != 0)
        fprintf(stderr, "(pause of %u s not recorded)\n", seconds);
#ifdef _WIN32
    HANDLE paused = OpenEventA(EVENT_MODIFY_STATE, FALSE, "chg4917_paused");
    HANDLE resume = OpenEventA(SYNCHRONIZE, FALSE, "chg4917_resume");
    if (paused && resume && SetEvent(paused))
        WaitForSingleObject(resume, 30000);
#endif
}
