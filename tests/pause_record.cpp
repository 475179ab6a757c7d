// The test build's pause: appends "pause N" to the file CHG4917_PAUSE_LOG
// names instead of waiting. On Windows it then holds until the event that
// CHG4917_PAUSE_EVENT names, if any, is set (30 s at most), while
// tests/console_probe.cpp reads the console. On Linux it also says when
// output is still waiting in stdout's buffer, not shown before the pause.
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
    const char *name = getenv("CHG4917_PAUSE_EVENT");
    HANDLE event = name && *name ? OpenEventA(SYNCHRONIZE, FALSE, name) : NULL;
    if (event) {
        WaitForSingleObject(event, 30000);
        CloseHandle(event);
    }
#endif
}
