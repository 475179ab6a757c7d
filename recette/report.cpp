// The report: its top, a block a step, the tester's answers and the table of verdicts, written at the
// kit's end beside recette.exe, as recette-<computer>-<date>-<time>.txt, UTF-8 with a BOM and CR LF.
#include <stdio.h>
#include <wctype.h>
#include <windows.h>

#include "recette.h"

static std::string report;

static std::string today(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    return text;
}

std::string facts_of(const std::wstring &kit, const std::wstring &exe, const std::wstring &dll)
{
    std::string exe_version = file_version(exe), dll_version = file_version(dll);
    return "Date : " + today() + "\nWindows : " + windows_version() +
           "\nrecette.exe : version " PROJECT_VERSION "\nrecette.exe SHA-256 : " + sha256_of(kit) +
           "\nchg_4917.exe : " + (exe_version.empty() ? "aucune version" : "version " + exe_version) +
           "\nchg_4917.exe SHA-256 : " + sha256_of(exe) + "\nFTD2XX.dll : " + without_user(dll) +
           "\nVersion de FTD2XX.dll : " + (dll_version.empty() ? "aucune" : dll_version) + ", 32 bits\n";
}

void report_begin(const std::string &facts)
{
    report = "Rapport de recette de chg_4917 " PROJECT_VERSION "\n\n" + facts +
             "\nExclus de la comparaison : le contenu du coffret tel que trouvé (étape 1), les adresses des "
             "chaînes dans le vidage (octets 16 à 31 de l'enregistrement) et les champs d'extension que la puce "
             "conserve (octets 48 à 87).\n";
}

static std::string hex_bytes(const std::string &bytes)
{
    std::string hex;
    for (unsigned char value : bytes) {
        char two[4];
        snprintf(two, sizeof two, "%02x ", value);
        hex += two;
    }
    return hex.empty() ? "(aucun)" : hex.substr(0, hex.size() - 1);
}

static std::string byte_text(int value)
{
    char two[8];
    snprintf(two, sizeof two, "%02x", value);
    return value < 0 ? "(aucun)" : two;
}

// Each differing line, expected then obtained, a text line with its bytes; then each compared byte of
// the record that differs.
static std::string differences_text(const Judged &judged)
{
    std::string text;
    for (const Difference &d : judged.differences) {
        std::string n = std::to_string(d.line);
        text += "  Ligne " + n + ", attendue : " + (d.expected.empty() ? "(aucune)" : shown(d.expected)) + "\n";
        if (!d.in_dump)
            text += "           octets   : " + hex_bytes(d.expected) + "\n";
        text += "  Ligne " + n + ", obtenue  : " + (d.got.empty() ? "(aucune)" : shown(d.got)) + "\n";
        if (!d.in_dump)
            text += "           octets   : " + hex_bytes(d.got) + "\n";
    }
    for (const ByteDifference &b : judged.bytes)
        text += "  Octet " + std::to_string(b.at) + " de l'enregistrement : attendu " + byte_text(b.expected) +
                ", obtenu " + byte_text(b.got) + "\n";
    return text;
}

static std::string verdict_line(const Judged &judged)
{
    return "  Verdict : " + std::string(verdict_name(judged.verdict)) +
           (judged.why.empty() ? "" : " (" + judged.why + ")") + "\n";
}

void report_step(size_t number, const char *title, const Road &road, bool own_console, const Run &run,
                 const Judged &judged)
{
    report += "\nÉtape " + std::to_string(number) + " : " + title + "\n  Commande : " + command_of(road) +
              (own_console ? " (dans sa propre fenêtre)" : "") + "\n  Parcours attendu : " + road.name + "\n";
    if (run.started && !run.killed)
        report += "  Code de sortie : " + std::to_string(run.status) + "\n";
    report += "  Durée : " + seconds_text(run.seconds) + "\n" + verdict_line(judged);
    if (own_console) {
        report += "  Sortie : dans sa propre fenêtre, lue par le testeur\n";
    } else {
        report += "  Sortie :\n";
        for (const std::string &line : lines_of(run.out))
            report += "    | " + shown(line) + "\n";
    }
    report += differences_text(judged);
}

void report_verdict(size_t number, const Judged &judged)
{
    size_t block = report.find("\nÉtape " + std::to_string(number) + " : ");
    size_t at = report.find("\n  Verdict : ", block) + 1, end = report.find('\n', at) + 1;
    report.replace(at, end - at, verdict_line(judged));
}

void report_not_run(size_t number, const char *title, const std::string &why)
{
    report += "\nÉtape " + std::to_string(number) + " : " + title + "\n  Verdict : non testé (" + why + ")\n";
}

void report_stopped(const std::string &why)
{
    report += "\nRecette arrêtée : " + why + ".\n";
}

std::wstring write_report(const std::wstring &folder, const std::string &answers, const std::string &table)
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    std::wstring name = GetComputerNameW(computer, &size) ? computer : L"PC";
    for (wchar_t &c : name)
        c = iswalnum(c) || c == L'-' ? c : L'_';
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t when[32];
    _snwprintf(when, 32, L"%04u-%02u-%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
               now.wSecond);
    when[31] = L'\0';
    std::wstring path = folder + L"\\recette-" + name + L"-" + when + L".txt";
    std::string bytes = "\xef\xbb\xbf" + crlf(report + "\nRéponses du testeur :\n" + answers + table);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    bool whole = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) &&
                 written == bytes.size();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        whole = false;
    return whole ? path : L"";
}
