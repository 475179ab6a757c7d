#include "console.h"

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

// A dump line is 138 characters; a console exactly that wide would wrap after
// it and show an empty line. An automatic update prints about 26 lines.
#define CONSOLE_COLUMNS 140
#define CONSOLE_ROWS 40
#define WINDOWS_1252 1252

static UINT code_page_found;

// Runs at exit, from main's return and from exit() alike. Standard output is
// flushed first, while the text is still shown with code page 1252.
static void restore_code_page(void)
{
    fflush(stdout);
    SetConsoleOutputCP(code_page_found);
}

static SHORT at_least(SHORT size, SHORT wanted)
{
    return size < wanted ? wanted : size;
}

static SHORT at_most(SHORT size, SHORT limit)
{
    return size > limit ? limit : size;
}

// Grows the screen buffer, then the window, which can never be larger than
// the buffer nor than the screen allows. Nothing is made smaller.
static void fit_whole_run(HANDLE out)
{
    DWORD processes[2];
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleProcessList(processes, 2) != 1 || !GetConsoleScreenBufferInfo(out, &info))
        return;
    COORD buffer = {at_least(info.dwSize.X, CONSOLE_COLUMNS), at_least(info.dwSize.Y, CONSOLE_ROWS)};
    if (!SetConsoleScreenBufferSize(out, buffer))
        return;
    COORD largest = GetLargestConsoleWindowSize(out);
    SMALL_RECT window = info.srWindow;
    SHORT width = at_least((SHORT)(window.Right - window.Left + 1), at_most(CONSOLE_COLUMNS, largest.X));
    SHORT height = at_least((SHORT)(window.Bottom - window.Top + 1), at_most(CONSOLE_ROWS, largest.Y));
    window.Left = at_most(window.Left, (SHORT)(buffer.X - width));
    window.Top = at_most(window.Top, (SHORT)(buffer.Y - height));
    window.Right = (SHORT)(window.Left + width - 1);
    window.Bottom = (SHORT)(window.Top + height - 1);
    SetConsoleWindowInfo(out, TRUE, &window);
}

void prepare_console(void)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (!GetConsoleMode(out, &mode))
        return;
    code_page_found = GetConsoleOutputCP();
    if (code_page_found != 0 && SetConsoleOutputCP(WINDOWS_1252))
        atexit(restore_code_page);
    fit_whole_run(out);
}
