// The test build's pause: records the pause instead of waiting, appending
// "pause N" to the file named by CHG4917_PAUSE_LOG. On Windows it then holds
// until the event CHG4917_PAUSE_EVENT names is set (30 s at most), if any:
// tests/console_probe.cpp reads the console meanwhile.
#include <stdio.h>
#include <stdlib.h>

#include "../src/pause.h"
#ifdef _WIN32
#include <windows.h>
#endif

void pause_seconds(unsigned seconds)
{
    const char *path = getenv("CHG4917_PAUSE_LOG");
    FILE *log = path && *path ? fopen(path, "a") : NULL;
    if (log) {
        fprintf(log, "pause %u\n", seconds);
        fclose(log);
    } else {
        fprintf(stderr, "(pause of %u s skipped)\n", seconds);
    }
#ifdef _WIN32
    const char *name = getenv("CHG4917_PAUSE_EVENT");
    HANDLE event = name && *name ? OpenEventA(SYNCHRONIZE, FALSE, name) : NULL;
    if (event) {
        WaitForSingleObject(event, 30000);
        CloseHandle(event);
    }
#endif
}
