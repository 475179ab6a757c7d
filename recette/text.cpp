#include <stdio.h>
#include <windows.h>

#include <algorithm>

#include "recette.h"

std::string utf8(const std::wstring &text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(size > 0 ? (size_t)size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], size, NULL, NULL);
    return out;
}

static std::wstring to_wide(UINT code_page, const std::string &text)
{
    int size = MultiByteToWideChar(code_page, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring out(size > 0 ? (size_t)size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(code_page, 0, text.data(), (int)text.size(), &out[0], size);
    return out;
}

std::wstring wide(const std::string &text)
{
    return to_wide(CP_UTF8, text);
}

std::string from_windows_1252(const std::string &bytes)
{
    return utf8(to_wide(1252, bytes));
}

std::string shown(const std::string &line)
{
    return from_windows_1252(line.substr(0, line.find_last_not_of("\r\n") + 1));
}

std::string seconds_text(double seconds)
{
    char text[32];
    snprintf(text, sizeof text, "%.1f s", seconds);
    std::string out = text;
    out[out.find('.')] = ',';
    return out;
}

// Each line cut at its last space before width characters, so that a console never cuts a word.
static std::wstring wrapped(const std::wstring &text, size_t width)
{
    std::wstring out;
    for (size_t at = 0; at < text.size();) {
        size_t end = std::min(text.find(L'\n', at), text.size());
        size_t space = end - at > width ? text.rfind(L' ', at + width) : std::wstring::npos;
        if (space != std::wstring::npos && space > at)
            end = space;
        out += text.substr(at, end - at) + (end < text.size() ? L"\n" : L"");
        at = end + 1;
    }
    return out;
}

// A console gets the characters through its Unicode interface, whatever its code page, which
// stays as it was, each line fitted to its width; a file or a pipe gets UTF-8, with CR LF line
// ends from stdio.
void say(const std::string &text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode, written;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleMode(out, &mode) && GetConsoleScreenBufferInfo(out, &info)) {
        std::wstring characters = wrapped(wide(text), info.dwSize.X > 1 ? (size_t)info.dwSize.X - 1 : 79);
        for (size_t at = 0; (at = characters.find(L'\n', at)) != std::wstring::npos; at += 2)
            characters.insert(at, 1, L'\r');
        WriteConsoleW(out, characters.data(), (DWORD)characters.size(), &written, NULL);
    } else {
        fwrite(text.data(), 1, text.size(), stdout);
        fflush(stdout);
    }
}

bool ask(const std::string &prompt, std::string *answer)
{
    say("> " + prompt + "\n");
    answer->clear();
    int c = getchar();
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = getchar())
        *answer += (char)c;
    size_t first = answer->find_first_not_of(" \t\r\n"), last = answer->find_last_not_of(" \t\r\n");
    *answer = first == std::string::npos ? "" : answer->substr(first, last - first + 1);
    return true;
}

// A console of the kit's own, as a double-click opens it, closes when the kit ends: it waits for
// Enter first, so that the tester reads the end.
void keep_window_open(void)
{
    DWORD mode, processes[2];
    std::string ignored;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && GetConsoleProcessList(processes, 2) == 1)
        ask("Entrée : fermer la fenêtre", &ignored);
}
