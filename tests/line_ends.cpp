// The test build on Windows, with CHG4917_LF_ONLY set: stdout in binary mode, so
// that lines end in LF alone, as a build that lost text mode would print them.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

[[maybe_unused]] static const bool lf_only = getenv("CHG4917_LF_ONLY") && _setmode(_fileno(stdout), _O_BINARY) != -1;
