// console_probe.exe new|large|shared|FILE PROGRAM: starts PROGRAM in a new console
// (a double-click), in a new one that opens larger than a whole run needs (buffer
// 200x300, window 100x45), in the probe's own (a command prompt) or in a new one
// with its output to FILE. Prints the console's output code page, buffer and
// window sizes before, during the test build's pause, and after PROGRAM ends;
// in a new console, also the text on screen during the pause, in UTF-8. Where its own
// console never answers, says so and exits with status 5.
#include <stdio.h>
#include <string.h>
#include <windows.h>

static void read_console(const char *when, bool screen)
{
    HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    printf("%s %u %dx%d %dx%d\n", when, GetConsoleOutputCP(), info.dwSize.X, info.dwSize.Y,
           info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1);
    for (SHORT row = 0; screen && row < info.dwCursorPosition.Y; row++) {
        WCHAR cells[512];
        char text[1536];
        DWORD read = 0;
        ReadConsoleOutputCharacterW(out, cells, info.dwSize.X < 512 ? info.dwSize.X : 512, {0, row}, &read);
        while (read > 0 && cells[read - 1] == L' ')
            read--;
        int length = WideCharToMultiByte(CP_UTF8, 0, cells, (int)read, text, sizeof text, NULL, NULL);
        printf("%.*s\n", length, text);
    }
    CloseHandle(out);
}

// Whether the console this process is attached to answers: under wine, conhost.exe serves it
// from a process of its own, which may not be up yet, or may never come up, on a loaded machine.
static bool console_answers()
{
    HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info;
    bool answers = out != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out, &info) && GetConsoleOutputCP() != 0;
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    return answers;
}

// A new console of the probe's own, once it answers: asked for again while none is given, and
// taken anew when one given does not answer within 10 s; 60 s in all at most.
static bool new_console()
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        FreeConsole();
        if (!AllocConsole()) {
            Sleep(200);
            continue;
        }
        for (DWORD given = GetTickCount(); GetTickCount() - given < 10000; Sleep(50))
            if (console_answers())
                return true;
    }
    return false;
}

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    // The large case's window size is removed on every path, and here, where a probe that was killed left it.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Console", "WindowSize");
    bool shared = strcmp(argv[1], "shared") == 0, large = strcmp(argv[1], "large") == 0;
    bool to_file = !shared && !large && strcmp(argv[1], "new") != 0;
    HANDLE paused = CreateEventA(NULL, TRUE, FALSE, "chg4917_paused"),
           resume = CreateEventA(NULL, TRUE, FALSE, "chg4917_resume");
    if (!new_console()) {
        printf("console_probe: no new console answered within 60 s (last error %lu)\n", GetLastError());
        return 5;
    }
    read_console("before", false);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = (to_file ? STARTF_USESTDHANDLES : 0) | (large ? STARTF_USECOUNTCHARS : 0);
    start.dwXCountChars = 200;
    start.dwYCountChars = 300;
    DWORD window = MAKELONG(100, 45);  // the console's default window size, read as the console opens
    if (large &&
        RegSetKeyValueA(HKEY_CURRENT_USER, "Console", "WindowSize", REG_DWORD, &window, sizeof window) != ERROR_SUCCESS)
        return 4;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    start.hStdOutput =
        to_file ? CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, NULL) : NULL;
    PROCESS_INFORMATION program = {};
    bool started = CreateProcessA(argv[2], NULL, NULL, NULL, to_file, shared ? 0 : CREATE_NEW_CONSOLE, NULL, NULL,
                                  &start, &program);
    if (started && !shared)
        FreeConsole();
    // Attached, the probe keeps the program's console alive after it ends.
    HANDLE pausing[] = {paused, program.hProcess};
    DWORD woken = started ? WaitForMultipleObjects(2, pausing, FALSE, 30000) : WAIT_FAILED;
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Console", "WindowSize");
    if (!started)
        return 3;
    if (woken == WAIT_OBJECT_0 && (shared || AttachConsole(program.dwProcessId)))
        read_console("during", !shared && !to_file);
    SetEvent(resume);
    WaitForSingleObject(program.hProcess, INFINITE);
    read_console("after", false);
    return 0;
}
