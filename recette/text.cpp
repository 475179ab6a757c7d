#include <stdio.h>
#include <windows.h>

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

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// A console gets the characters through its Unicode interface, whatever its code page, which
// stays as it was; a file or a pipe gets UTF-8, with CR LF line ends from stdio.
void say(const std::string &text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode, written;
    if (GetConsoleMode(out, &mode)) {
        std::wstring characters = wide(crlf(text));
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
