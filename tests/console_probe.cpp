// console_probe.exe new|shared|FILE PROGRAM: starts PROGRAM in a new console
// (a double-click), in the probe's own (a command prompt) or in a new one with
// its output to FILE, and prints the console's output code page, buffer and
// window sizes before, during the test build's pause, and after PROGRAM ends.
#include <stdio.h>
#include <string.h>
#include <windows.h>

static void read_console(const char *when)
{
    HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(out, &info);
    printf("%s %u %dx%d %dx%d\n", when, GetConsoleOutputCP(), info.dwSize.X, info.dwSize.Y,
           info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1);
    CloseHandle(out);
}

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    bool shared = strcmp(argv[1], "shared") == 0, to_file = !shared && strcmp(argv[1], "new") != 0;
    HANDLE paused = CreateEventA(NULL, TRUE, FALSE, "chg4917_paused"), resume = CreateEventA(NULL, TRUE, FALSE, "chg4917_resume");
    FreeConsole();
    AllocConsole();
    read_console("before");
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = to_file ? STARTF_USESTDHANDLES : 0;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    start.hStdOutput = to_file ? CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, NULL) : NULL;
    PROCESS_INFORMATION program;
    if (!CreateProcessA(argv[2], NULL, NULL, NULL, to_file, shared ? 0 : CREATE_NEW_CONSOLE, NULL, NULL, &start, &program))
        return 3;
    if (!shared)
        FreeConsole();
    // Attached, the probe keeps the program's console alive after it ends.
    HANDLE pausing[] = {paused, program.hProcess};
    if (WaitForMultipleObjects(2, pausing, FALSE, 30000) == WAIT_OBJECT_0 && (shared || AttachConsole(program.dwProcessId)))
        read_console("during");
    SetEvent(resume);
    WaitForSingleObject(program.hProcess, INFINITE);
    read_console("after");
    return 0;
}
