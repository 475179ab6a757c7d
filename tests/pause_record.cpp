// The test build's pause: records the pause instead of waiting, appending
// "pause N" to the file named by CHG4917_PAUSE_LOG.
#include <stdio.h>
#include <stdlib.h>

#include "../src/pause.h"

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
}
