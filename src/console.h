#ifndef CONSOLE_H
#define CONSOLE_H

// Readies the console window before anything is printed. On Windows, when
// standard output is a classic console window that no other process shares
// (the double-click case), makes the window wide and tall enough for a whole
// run; it never makes it smaller. A command prompt, a pseudo console (Windows
// Terminal and the like), a file and a pipe are left alone, and no failure is
// reported.
#ifdef _WIN32
void prepare_console(void);
#else
// A terminal on Linux is left as it is.
static inline void prepare_console(void) {}
#endif

// Prints text and a line end. Its accents are Windows-1252 bytes: a Windows
// console gets them as characters, through the console's Unicode interface,
// and so does a Linux terminal, in its locale's character set. A file or a
// pipe, and a console or terminal that cannot take them so, gets the bytes.
void print_accented_line(const char *text);

#endif
