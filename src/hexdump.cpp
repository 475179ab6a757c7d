#include "hexdump.h"

#include <stdio.h>
#include <string.h>

// Appends piece to line; the caller keeps pieces short enough that a whole
// line (138 characters) never comes near the buffer's end, and strncat's
// bound guarantees it cannot pass it.
static void append(char *line, size_t size, const char *piece)
{
    strncat(line, piece, size - strlen(line) - 1);
}

void hexdump(const void *mem, uint32_t len)
{
    const unsigned char *bytes = static_cast<const unsigned char *>(mem);
    char line[256] = "";
    char tmp[50];
    uint32_t total = len % HEXDUMP_COLS ? len + (HEXDUMP_COLS - len % HEXDUMP_COLS) : len;

    for (uint32_t i = 0; i < total; i++) {
        if (i % HEXDUMP_COLS == 0) {
            if (i != 0) {
                puts(line);
                line[0] = '\0';
            }
            snprintf(tmp, sizeof tmp, "0x%06x: ", (unsigned)i);
            append(line, sizeof line, tmp);
        }
        if (i < len) {
            snprintf(tmp, sizeof tmp, "%02x ", (unsigned)bytes[i]);
            append(line, sizeof line, tmp);
        } else {
            append(line, sizeof line, "   ");
        }
        if (i % HEXDUMP_COLS == HEXDUMP_COLS - 1) {
            for (uint32_t j = i - (HEXDUMP_COLS - 1); j <= i; j++) {
                if (j >= len)
                    snprintf(tmp, sizeof tmp, " ");
                else if (bytes[j] >= 0x20 && bytes[j] <= 0x7e)
                    snprintf(tmp, sizeof tmp, "%c", bytes[j]);
                else
                    snprintf(tmp, sizeof tmp, ".");
                append(line, sizeof line, tmp);
            }
        }
    }
    puts(line);
}
