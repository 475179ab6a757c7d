#ifndef CONSOLE_H
#define CONSOLE_H

// Readies the console window before anything is printed. On Windows, when
// standard output is a console: shows the Windows-1252 accents the program
// writes by switching the console's output code page to 1252 until the
// process ends, and, when no other process shares that console (the
// double-click case), makes the window wide and tall enough for a whole run.
// Output to a file or a pipe is left alone, and no failure is reported: the
// bytes written are the same either way.
#ifdef _WIN32
void prepare_console(void);
#else
// A terminal on Linux shows the output as it is.
static inline void prepare_console(void) {}
#endif

#endif
