#include <windows.h>

#include "recette.h"

static double seconds_since(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

// Moves what the pipe holds into out, without waiting for more; true when it held anything.
static bool drain(HANDLE pipe, std::string *out)
{
    DWORD waiting = 0, got = 0;
    char piece[4096];
    size_t before = out->size();
    while (pipe && PeekNamedPipe(pipe, NULL, 0, NULL, &waiting, NULL) && waiting > 0 &&
           ReadFile(pipe, piece, sizeof piece, &got, NULL) && got > 0)
        out->append(piece, got);
    return out->size() > before;
}

// Started in its own folder, as a double-click starts it. The roads' arguments are plain words.
Run run_program(const std::wstring &exe, const Args &args, bool own_console)
{
    Run run = {};
    std::wstring line = L"\"" + exe + L"\"", folder = exe.substr(0, exe.find_last_of(L'\\'));
    for (const std::string &arg : args)
        line += L" " + wide(arg);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE output = NULL, child_output = NULL, nothing = NULL;
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    if (!own_console) {
        if (!CreatePipe(&output, &child_output, &inherited, 65536))
            return run;
        SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
        nothing =
            CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, NULL);
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = nothing;
        start.hStdOutput = start.hStdError = child_output;
    }
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER begun;
    QueryPerformanceCounter(&begun);
    run.started = CreateProcessW(exe.c_str(), &line[0], NULL, NULL, !own_console, own_console ? CREATE_NEW_CONSOLE : 0,
                                 NULL, folder.c_str(), &start, &process);
    for (HANDLE ours : {child_output, nothing})
        if (ours && ours != INVALID_HANDLE_VALUE)
            CloseHandle(ours);
    double last_output = 0;
    while (run.started) {
        bool ended = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
        if (drain(output, &run.out))
            last_output = seconds_since(begun);
        if (ended)
            break;
        if (seconds_since(begun) > RUN_LIMIT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            drain(output, &run.out);
            run.killed = true;
            break;
        }
    }
    run.seconds = seconds_since(begun);
    run.quiet_seconds = run.seconds - last_output;
    if (run.started) {
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        run.status = status;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (output)
        CloseHandle(output);
    return run;
}
