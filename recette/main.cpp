// recette.exe: proves a release of chg_4917.exe on a real PC, with the vendor's FTD2XX.dll and a
// real box. It runs the chg_4917.exe beside it step by step, asks for the tester's hands where a
// step needs them, prints a table of verdicts and writes a report beside itself. Exit status 0
// only when every step that ran is conforme; 2 when it cannot start.
#include <stdio.h>
#include <wctype.h>
#include <windows.h>

#include "recette.h"

enum Hands { NO_HANDS, UNPLUG, TWO_DEVICES, OWN_CONSOLE, REPLUG, AFTER_REPLUG };

struct Step {
    const char *title;
    const char *road;           // the road that the box's state leads to
    const char *road_if_blank;  // where the program may find the box blank: the road then
    Hands hands;
};

// The box as found, then as each step leaves it.
static const Step STEPS[] = {
    {"Lecture du coffret tel que trouvé", "read", "read_blank_box", NO_HANDS},
    {"Mise à jour automatique", "auto_programmed_box", "auto_blank_box", NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Effacement (ERASE)", "erase_updated_box", NULL, NO_HANDS},
    {"Mise à jour du coffret effacé", "auto_blank_box", NULL, NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Écriture (WRITE)", "write", NULL, NO_HANDS},
    {"Lecture après l'écriture", "read_after_update", NULL, NO_HANDS},
    {"Argument inconnu", "unknown_argument", NULL, NO_HANDS},
    {"Sans coffret", "no_device", NULL, UNPLUG},
    {"Deux périphériques", "two_devices", NULL, TWO_DEVICES},
    {"Fenêtre à lui, comme un double-clic", "two_devices", NULL, OWN_CONSOLE},
    {"Coffret seul : mise à jour", "auto_programmed_box", NULL, REPLUG},
    {"Coffret seul : lecture", "read_after_update", NULL, AFTER_REPLUG},
};
#define STEP_COUNT (sizeof STEPS / sizeof STEPS[0])

static const char *const INSTRUCTIONS[] = {
    "",
    "Débranchez le coffret : aucun périphérique à cette puce USB ne doit rester branché.",
    "Branchez le coffret et un second périphérique qui utilise la même puce USB.",
    "Laissez les deux branchés. chg_4917.exe va s'ouvrir dans une fenêtre à lui, comme par un "  // NOLINT: one text
    "double-clic : lisez son message, puis attendez que la fenêtre se ferme.",
    "Débranchez le second périphérique : ne laissez branché que le coffret.",
    "",
};

static std::string report, answers;

static std::string seconds_text(double seconds)
{
    char text[32];
    snprintf(text, sizeof text, "%.1f s", seconds);
    std::string out = text;
    out[out.find('.')] = ',';
    return out;
}

// true: go on; false: p, or the end of standard input.
static bool go_ahead(const std::string &prompt)
{
    std::string answer;
    while (ask(prompt, &answer)) {
        if (answer.empty())
            return true;
        if (answer == "p" || answer == "P")
            return false;
    }
    return false;
}

// 1 yes, 0 no, -1 the end of standard input.
static int yes_no(const std::string &question)
{
    std::string answer;
    say(question + "\n");
    while (ask("o : oui ; n : non", &answer)) {
        if (answer == "o" || answer == "O" || answer == "n" || answer == "N") {
            answers += "  " + question + " " + answer + "\n";
            return answer == "o" || answer == "O";
        }
    }
    answers += "  " + question + " pas de réponse\n";
    return -1;
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

static std::string shown(const std::string &line)  // converted, without its line end
{
    return from_windows_1252(line.substr(0, line.find_last_not_of("\r\n") + 1));
}

static void report_step(size_t number, const Step &step, const Road &road, const Run &run, const Judged &judged)
{
    std::string command = "chg_4917.exe";
    for (const std::string &arg : road.args)
        command += " " + arg;
    report += "\nÉtape " + std::to_string(number) + " : " + step.title + "\n  Commande : " + command +
              (step.hands == OWN_CONSOLE ? " (fenêtre à lui)" : "") + "\n  Route attendue : " + road.name +
              "\n  Statut : " + std::to_string(run.status) + "\n  Durée : " + seconds_text(run.seconds) +
              "\n  Verdict : " + verdict_name(judged.verdict) + (judged.why.empty() ? "" : " (" + judged.why + ")") +
              "\n";
    if (step.hands != OWN_CONSOLE) {
        report += "  Sortie :\n";
        for (const std::string &line : lines_of(run.out))
            report += "    | " + shown(line) + "\n";
    }
    for (const Difference &d : judged.differences)
        report += "  Ligne " + std::to_string(d.line) + ", attendue : " + shown(d.expected) + "\n  Ligne " +
                  std::to_string(d.line) + ", obtenue  : " + shown(d.got) + "\n  Ligne " + std::to_string(d.line) +
                  ", octets   : " + hex_bytes(d.got) + "\n";
}

static Verdict do_step(size_t number, const Step &step, const std::wstring &exe, bool *passed)
{
    say("\nÉtape " + std::to_string(number) + "/" + std::to_string(STEP_COUNT) + " : " + step.title + "\n");
    bool hands = step.hands != NO_HANDS && step.hands != AFTER_REPLUG;
    if (hands)
        say(std::string(INSTRUCTIONS[step.hands]) + "\n");
    *passed = step.hands == AFTER_REPLUG ? *passed : hands && !go_ahead("Entrée : faire l'étape ; p : la passer");
    if (hands)
        answers += "  Étape " + std::to_string(number) + " : " + (*passed ? "passée" : "faite") + "\n";
    if (*passed) {
        say("  non testé\n");
        report += "\nÉtape " + std::to_string(number) + " : " + step.title + "\n  Verdict : non testé (passée)\n";
        return NON_TESTE;
    }
    const Road *road = &road_named(step.road);
    Run run = run_program(exe, road->args, step.hands == OWN_CONSOLE);
    Judged judged;
    if (step.hands == OWN_CONSOLE) {
        int accents = yes_no("Dans son message, é et à se lisaient-ils bien ?");
        int closed = accents < 0 ? -1 : yes_no("La fenêtre s'est-elle fermée seule, au bout d'environ 5 s ?");
        judged = judge_by_eye(run, accents, closed);
    } else {
        if (step.road_if_blank && run.out.rfind(crlf(START + BLANK), 0) == 0)
            road = &road_named(step.road_if_blank);
        judged = judge(run, *road, number == 1);
    }
    say("  " + std::string(verdict_name(judged.verdict)) + " (" + seconds_text(run.seconds) + ")" +
        (judged.why.empty() ? "" : " : " + judged.why) + "\n");
    for (const Difference &d : judged.differences)
        say("    ligne " + std::to_string(d.line) + ", attendue : " + shown(d.expected) + "\n    ligne " +
            std::to_string(d.line) + ", obtenue  : " + shown(d.got) + "\n");
    report_step(number, step, *road, run, judged);
    return judged.verdict;
}

// Padded to width characters, not bytes.
static std::string padded(const std::string &text, size_t width)
{
    size_t characters = 0;
    for (unsigned char c : text)
        characters += (c & 0xc0) != 0x80;
    return text + std::string(width > characters ? width - characters : 0, ' ');
}

static std::wstring write_report(const std::wstring &folder)
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
    std::string bytes = "\xef\xbb\xbf" + crlf(report);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    bool whole = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL) &&
                 written == bytes.size();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file))
        whole = false;
    return whole ? path : L"";
}

static std::string today(void)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    return text;
}

static int recette(void)
{
    std::wstring folder = own_folder(), exe = folder + L"\\chg_4917.exe";
    say("Recette de chg_4917 " PROJECT_VERSION "\n\n");
    if (program_bits(exe) != 32) {
        say("chg_4917.exe manque à côté de recette.exe, dans " + utf8(folder) +
            ", ou n'est pas un programme 32 bits. Décompressez tout le paquet de la recette dans un même dossier.\n");
        return 2;
    }
    std::wstring dll = library_for(folder);
    if (dll.empty()) {
        say("FTD2XX.dll est introuvable : Windows ne pourrait pas lancer chg_4917.exe. Installez le pilote USB du "
            "fabricant de la puce, ou placez son FTD2XX.dll 32 bits à côté de chg_4917.exe.\n");
        return 2;
    }
    int bits = program_bits(dll);
    if (bits != 32) {
        say("Le FTD2XX.dll que Windows chargerait, " + utf8(dll) + ", " +
            (bits == 64 ? "est la version 64 bits" : "n'est pas une bibliothèque Windows") +
            " : chg_4917.exe ne peut pas s'en servir. Il faut la version 32 bits du fabricant.\n");
        return 2;
    }
    std::string facts = "Date : " + today() + "\nWindows : " + windows_version() + "\nchg_4917.exe : version " +
                        file_version(exe) + "\nchg_4917.exe SHA-256 : " + sha256_of(exe) +
                        "\nFTD2XX.dll : " + without_user(dll) + "\nFTD2XX.dll version : " + file_version(dll) +
                        ", 32 bits\n";
    say(facts);
    say("\nLa mémoire du coffret branché va être effacée et réécrite plusieurs fois. Ne branchez que ce "
        "coffret, un coffret qui peut être effacé. La recette dure environ 10 minutes.\n");
    if (!go_ahead("Entrée : commencer ; p : abandonner")) {
        say("Recette abandonnée : rien n'a été fait.\n");
        return 1;
    }
    report = "Rapport de recette de chg_4917 " PROJECT_VERSION "\n\n" + facts +
             "\nLaissé hors de la comparaison : le contenu du coffret tel que trouvé (étape 1), les adresses des "
             "chaînes dans le vidage (octets 16 à 31 de l'enregistrement) et les champs d'extension que la puce "
             "garde (octets 48 à 87).\n";
    Verdict verdicts[STEP_COUNT];
    Verdict worst = CONFORME;  // of the steps that ran
    bool passed = false;
    for (size_t i = 0; i < STEP_COUNT; i++) {
        verdicts[i] = do_step(i + 1, STEPS[i], exe, &passed);
        worst = verdicts[i] != NON_TESTE && verdicts[i] > worst ? verdicts[i] : worst;
    }
    std::string table = "\nRésultat de la recette\n";
    for (size_t i = 0; i < STEP_COUNT; i++)
        table += padded((i < 9 ? " " : "") + std::to_string(i + 1) + ". " + STEPS[i].title, 44) +
                 verdict_name(verdicts[i]) + "\n";
    table += std::string("Recette : ") + verdict_name(worst) + "\n";
    report += "\nRéponses du testeur :\n" + answers + table;
    say(table);
    std::wstring written = write_report(folder);
    if (written.empty()) {
        say("Le rapport n'a pas pu être écrit dans " + utf8(folder) + ".\n");
        return 1;
    }
    say("Rapport : " + utf8(written) + "\nEnvoyez ce fichier à qui vous a fourni la recette.\n");
    return worst == CONFORME ? 0 : 1;
}

int main(void)
{
    int status = recette();
    keep_window_open();
    return status;
}
