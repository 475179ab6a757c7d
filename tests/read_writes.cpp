// A faulty release for the kit's tests: its READ erases the box and writes the identity before it
// reads it back, and says nothing of it. tests/CMakeLists.txt builds it from the program's own
// sources, with a call to this one function added to the READ command.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "../src/changeur.h"

void write_silently(void)
{
    fflush(stdout);
    int out = _dup(1), nothing = _open("NUL", _O_WRONLY);
    _dup2(nothing, 1);
    erase_memory();
    write_memory();
    fflush(stdout);
    _dup2(out, 1);
    _close(out);
    _close(nothing);
}
