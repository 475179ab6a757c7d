#ifndef HEXDUMP_H
#define HEXDUMP_H

#include <stdint.h>

#define HEXDUMP_COLS 32

// Prints len bytes from mem on standard output, HEXDUMP_COLS bytes a line:
// the offset, the bytes in hexadecimal, then the same bytes as characters.
void hexdump(const void *mem, uint32_t len);

#endif
