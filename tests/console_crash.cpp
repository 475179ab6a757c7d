// The test build on Windows, with CHG4917_CRASH_IN_CONSOLE set: ends at once, as an access violation
// would, when its output is a console, as a release that fails only in a console of its own would.
#include <stdlib.h>
#include <windows.h>

static bool in_console(void)
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

[[maybe_unused]] static const bool crashed =
    getenv("CHG4917_CRASH_IN_CONSOLE") && in_console() && TerminateProcess(GetCurrentProcess(), 0xc0000005);
