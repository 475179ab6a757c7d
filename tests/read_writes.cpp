// Faulty releases for the kit's tests: their READ changes the box before or after it reads it back,
// and says nothing of it. tests/CMakeLists.txt builds them from the program's own sources, with a
// call to one of these functions added to the READ command.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "../src/changeur.h"

// Runs change with the program's standard output sent nowhere.
static void silently(void (*change)(void))
{
    fflush(stdout);
    int out = _dup(1), nothing = _open("NUL", _O_WRONLY);
    _dup2(nothing, 1);
    change();
    fflush(stdout);
    _dup2(out, 1);
    _close(out);
    _close(nothing);
}

static void erase_and_write(void)
{
    erase_memory();
    write_memory();
}

void write_silently(void)
{
    silently(erase_and_write);
}

void erase_silently(void)
{
    silently(erase_memory);
}
