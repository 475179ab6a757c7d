#include "pause.h"

#ifdef _WIN32
#include <windows.h>

void pause_seconds(unsigned seconds)
{
    Sleep(seconds * 1000);
}
#else
#include <errno.h>
#include <time.h>

void pause_seconds(unsigned seconds)
{
    struct timespec left = {static_cast<time_t>(seconds), 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
#endif
