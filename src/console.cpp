#include "console.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>

// A dump line is 138 characters; a console exactly that wide would wrap after
// it and show an empty line. An automatic update prints about 26 lines.
#define CONSOLE_COLUMNS 140
#define CONSOLE_ROWS 40
#define WINDOWS_1252 1252

static SHORT at_least(SHORT size, SHORT wanted)
{
    return size < wanted ? wanted : size;
}

static SHORT at_most(SHORT size, SHORT limit)
{
    return size > limit ? limit : size;
}

// A window of the classic console that the user sees. A pseudo console hands
// out a window that is never shown, and draws the text in a terminal of its own.
static bool is_classic_console_window(void)
{
    HWND window = GetConsoleWindow();
    char kind[32] = "";
    return window && IsWindowVisible(window) && GetClassNameA(window, kind, sizeof kind) > 0 &&
           strcmp(kind, "PseudoConsoleWindow") != 0;
}

// Grows the screen buffer, then the window, which can never be larger than
// the buffer nor than the screen allows. Nothing is made smaller.
static void fit_whole_run(HANDLE out)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out, &info))
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
    DWORD mode, processes[2];
    if (GetConsoleMode(out, &mode) && GetConsoleProcessList(processes, 2) == 1 && is_classic_console_window())
        fit_whole_run(out);
}

// Writes the bytes of text to a console as the characters they stand for in
// Windows-1252, one character a byte, whatever the console's code page, and
// each line end as CR LF, as stdio writes it. Returns how many bytes were
// written before a write failed.
static size_t write_characters(HANDLE console, const char *text, size_t length)
{
    size_t done = 0;
    while (done < length) {
        WCHAR characters[32], piece[64];
        int count = (int)(length - done < 32 ? length - done : 32), size = 0;
        if (MultiByteToWideChar(WINDOWS_1252, 0, text + done, count, characters, count) != count)
            break;
        for (int at = 0; at < count; at++) {
            if (characters[at] == L'\n')
                piece[size++] = L'\r';
            piece[size++] = characters[at];
        }
        DWORD written = 0;
        if (!WriteConsoleW(console, piece, (DWORD)size, &written, NULL) || written != (DWORD)size)
            break;
        done += (size_t)count;
    }
    return done;
}

static void write_accented(const char *text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    size_t done = 0, length = strlen(text);
    if (GetConsoleMode(out, &mode)) {
        fflush(stdout);  // what stdio still holds comes first
        done = write_characters(out, text, length);
    }
    fwrite(text + done, 1, length - done, stdout);
}
#else
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

// Converts text from Windows-1252 into the character set of the user's
// locale, whole, into room; returns the length, or -1 where it cannot.
static long convert_for_terminal(const char *text, char *room, size_t size)
{
    locale_t user = newlocale(LC_CTYPE_MASK, "", (locale_t)0);
    if (user == (locale_t)0)
        return -1;
    iconv_t convert = iconv_open(nl_langinfo_l(CODESET, user), "WINDOWS-1252");
    freelocale(user);
    if (convert == (iconv_t)-1)  // NOLINT(performance-no-int-to-ptr): how iconv_open says it failed
        return -1;
    char *in = const_cast<char *>(text), *out = room;
    size_t in_left = strlen(text), out_left = size;
    size_t result = iconv(convert, &in, &in_left, &out, &out_left);
    iconv_close(convert);
    return result == (size_t)-1 ? -1 : (long)(size - out_left);
}

static void write_accented(const char *text)
{
    char converted[1024];
    long length = isatty(STDOUT_FILENO) ? convert_for_terminal(text, converted, sizeof converted) : -1;
    if (length >= 0)
        fwrite(converted, 1, (size_t)length, stdout);
    else
        fputs(text, stdout);
}
#endif

void print_accented_line(const char *text)
{
    write_accented(text);
    write_accented("\n");
}
