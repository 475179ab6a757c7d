// recette.exe: proves a release of chg_4917.exe on a real PC, with the vendor's FTD2XX.dll and a
// real box. It runs the chg_4917.exe beside it step by step, asks for the tester's hands where a
// step needs them, prints a table of verdicts and writes a report beside itself. It writes to no
// device but the box the tester confirmed. Exit status 0 only when every step ran and is conforme;
// 2 when it cannot start.
#include <stdio.h>
#include <wctype.h>
#include <windows.h>

#include "recette.h"

enum Hands { NO_HANDS, UNPLUG, TWO_DEVICES, OWN_CONSOLE, REPLUG, AFTER_REPLUG };

struct Step {
    const char *title;
    const char *road;           // the road that the box's state leads to
    const char *road_if_blank;  // where the box may be blank: the road then
    Hands hands;
};

// The box as found, then as each step leaves it. Where no box or several devices are expected,
// the program runs with READ: it stops before it looks at its argument, and if Windows counts one
// device all the same, that device is only read.
static const Step STEPS[] = {
    {"Lecture du coffret tel que trouvé", "read", "read_blank_box", NO_HANDS},
    {"Mise à jour automatique", "auto_programmed_box", "auto_blank_box", NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Effacement (ERASE)", "erase_updated_box", NULL, NO_HANDS},
    {"Effacement du coffret vierge (ERASE)", "erase_blank_box", NULL, NO_HANDS},
    {"Mise à jour du coffret effacé", "auto_blank_box", NULL, NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Écriture (WRITE)", "write", NULL, NO_HANDS},
    {"Lecture après l'écriture", "read_after_update", NULL, NO_HANDS},
    {"Argument inconnu", "unknown_argument", NULL, NO_HANDS},
    {"Sans coffret", "read_no_device", NULL, UNPLUG},
    {"Deux périphériques", "read_two_devices", NULL, TWO_DEVICES},
    {"Sa propre fenêtre, comme par un double-clic", "read_two_devices", NULL, OWN_CONSOLE},
    {"Coffret seul : lecture", "read_after_update", NULL, REPLUG},
    {"Coffret seul : mise à jour", "auto_programmed_box", NULL, AFTER_REPLUG},
};
#define STEP_COUNT (sizeof STEPS / sizeof STEPS[0])
#define FIRST_WRITE 2

static const char *const INSTRUCTIONS[] = {
    "",
    "Débranchez le coffret, et tout autre périphérique équipé de cette puce USB. Attendez que Windows ait "
    "constaté le débranchement.",
    "Branchez le coffret et un second périphérique équipé de la même puce USB. Attendez que Windows les ait "
    "reconnus tous les deux.",
    "Laissez les deux branchés. chg_4917.exe va s'ouvrir dans sa propre fenêtre, comme par un double-clic : "
    "lisez son message, puis attendez que la fenêtre se ferme.",
    "Débranchez le second périphérique : ne laissez branché que le coffret. Attendez que Windows l'ait reconnu.",
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

static std::string byte_text(int value)
{
    char two[8];
    snprintf(two, sizeof two, "%02x", value);
    return value < 0 ? "(aucun)" : two;
}

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

static std::string command_of(const Road &road)
{
    std::string command = "chg_4917.exe";
    for (const std::string &arg : road.args)
        command += " " + arg;
    return command;
}

static void report_step(size_t number, const Step &step, const Road &road, const Run &run, const Judged &judged)
{
    report += "\nÉtape " + std::to_string(number) + " : " + step.title + "\n  Commande : " + command_of(road) +
              (step.hands == OWN_CONSOLE ? " (dans sa propre fenêtre)" : "") + "\n  Parcours attendu : " + road.name +
              "\n";
    if (run.started && !run.killed)
        report += "  Code de sortie : " + std::to_string(run.status) + "\n";
    report += "  Durée : " + seconds_text(run.seconds) + "\n  Verdict : " + verdict_name(judged.verdict) +
              (judged.why.empty() ? "" : " (" + judged.why + ")") + "\n";
    if (step.hands == OWN_CONSOLE) {
        report += "  Sortie : dans sa propre fenêtre, lue par le testeur\n";
    } else {
        report += "  Sortie :\n";
        for (const std::string &line : lines_of(run.out))
            report += "    | " + shown(line) + "\n";
    }
    report += differences_text(judged);
}

static Verdict not_run(size_t number, const Step &step, const std::string &why)
{
    say("  non testé : " + why + "\n");
    report += "\nÉtape " + std::to_string(number) + " : " + step.title + "\n  Verdict : non testé (" + why + ")\n";
    return NON_TESTE;
}

static void say_judged(const Judged &judged, const Run &run)
{
    say("  " + std::string(verdict_name(judged.verdict)) + " (" + seconds_text(run.seconds) + ")" +
        (judged.why.empty() ? "" : " : " + judged.why) + "\n");
    for (const Difference &d : judged.differences)
        say("    ligne " + std::to_string(d.line) + ", attendue : " + shown(d.expected) + "\n    ligne " +
            std::to_string(d.line) + ", obtenue  : " + shown(d.got) + "\n");
}

// The box as the kit knows it, from step 1's read and what the steps since did to it.
struct Known {
    bool blank;
    std::string found;  // step 1's output
    bool replugged_is_ours;
};

// As found, the box is blank or programmed: its road is the one of the two that its run matches
// best, and the steps after it go by that.
static Judged judge_as_found(const Run &run, const Step &step, const Road **road, Known *box)
{
    Judged programmed = judge(run, road_named(step.road), true),
           blank = judge(run, road_named(step.road_if_blank), true);
    box->blank = blank.verdict < programmed.verdict ||
                 (blank.verdict == programmed.verdict && blank.differences.size() < programmed.differences.size());
    *road = &road_named(box->blank ? step.road_if_blank : step.road);
    return box->blank ? blank : programmed;
}

static Verdict do_step(size_t number, const Step &step, const std::wstring &exe, Known *box, bool *skipped)
{
    say("\nÉtape " + std::to_string(number) + "/" + std::to_string(STEP_COUNT) + " : " + step.title + "\n");
    bool hands = step.hands != NO_HANDS && step.hands != AFTER_REPLUG;
    if (hands) {
        say(std::string(INSTRUCTIONS[step.hands]) + "\n");
        *skipped = !go_ahead("Entrée : faire l'étape ; p : la sauter");
        answers += "  Étape " + std::to_string(number) + " : " + (*skipped ? "sautée" : "faite") + "\n";
    }
    if (*skipped)
        return not_run(number, step, "sautée");
    if (step.hands == AFTER_REPLUG && !box->replugged_is_ours)
        return not_run(number, step,
                       "le périphérique branché ne montre pas l'identité que la recette a écrite : rien n'y a "
                       "été écrit");
    const Road *road = &road_named(step.road_if_blank && box->blank ? step.road_if_blank : step.road);
    Run run = run_program(exe, road->args, step.hands == OWN_CONSOLE);
    Judged judged;
    if (step.hands == OWN_CONSOLE) {
        int accents = yes_no("Dans son message, é et à se lisaient-ils bien ?");
        int closed = yes_no("La fenêtre s'est-elle fermée seule, au bout d'environ 5 s ?");
        judged = judge_by_eye(run, accents, closed);
    } else if (number == 1) {
        judged = judge_as_found(run, step, &road, box);
        box->found = run.out;
    } else {
        judged = judge(run, *road, false);
    }
    if (step.hands == REPLUG)
        box->replugged_is_ours = run.out.find(crlf(MEMORY_IDENTITY)) != std::string::npos;
    say_judged(judged, run);
    report_step(number, step, *road, run, judged);
    return judged.verdict;
}

// What step 1 read of the box, for the tester to recognise it: its identity, or that it is blank;
// "" where it read no box.
static std::string what_was_found(const Known &box)
{
    if (box.found.find(BLANK.substr(0, BLANK.size() - 1)) != std::string::npos)
        return "La mémoire de sa puce est vierge : il n'a pas d'identité.\n";
    std::string lines;
    for (const std::string &line : lines_of(box.found))
        for (const char *label :
             {"Manufacturer    : ", "Description     : ", "VendorId        : ", "ProductId       : "})
            if (line.rfind(label, 0) == 0)
                lines += "  " + shown(line) + "\n";
    return lines;
}

// Before the first step that writes: true only when the tester answers o about the box that
// step 1 read.
static bool box_confirmed(const Known &box, std::string *why)
{
    std::string found = what_was_found(box);
    if (found.empty()) {
        *why = "l'étape 1 n'a lu aucun coffret : rien n'a été écrit";
        say("\nL'étape 1 n'a lu aucun coffret. La recette s'arrête ; rien n'a été écrit.\n");
        return false;
    }
    say("\nLe périphérique branché est celui-ci :\n" + found +
        "Sa mémoire va être effacée et réécrite ; son identité et son numéro de série d'origine ne seront pas "
        "remis.\nEst-ce bien le coffret de la recette, qui peut être effacé ?\n");
    std::string answer;
    bool yes = ask("o : oui, continuer ; autre réponse : arrêter", &answer) && (answer == "o" || answer == "O");
    std::string given = yes ? "o" : answer.empty() ? "pas de réponse" : answer;
    answers += "  Coffret à effacer : " + given + "\n";
    if (!yes) {
        *why = "le testeur n'a pas confirmé que ce coffret peut être effacé : rien n'a été écrit";
        say("La recette s'arrête ; rien n'a été écrit.\n");
    }
    return yes;
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

// The last line: conforme only when every step ran and is conforme.
static std::string overall(const Verdict *verdicts, bool *conforme)
{
    Verdict worst = CONFORME;
    size_t untested = 0;
    for (size_t i = 0; i < STEP_COUNT; i++) {
        untested += verdicts[i] == NON_TESTE;
        worst = verdicts[i] != NON_TESTE && verdicts[i] > worst ? verdicts[i] : worst;
    }
    *conforme = worst == CONFORME && !untested;
    std::string line = "Recette : ";
    line += worst == CONFORME && untested ? "incomplète" : verdict_name(worst);
    if (untested)
        line += " ; " + std::to_string(untested) + (untested > 1 ? " étapes non testées" : " étape non testée");
    return line + "\n";
}

static std::string facts_of(const std::wstring &exe, const std::wstring &dll)
{
    std::string exe_version = file_version(exe), dll_version = file_version(dll);
    return "Date : " + today() + "\nWindows : " + windows_version() +
           "\nchg_4917.exe : " + (exe_version.empty() ? "aucune version" : "version " + exe_version) +
           "\nchg_4917.exe SHA-256 : " + sha256_of(exe) + "\nFTD2XX.dll : " + without_user(dll) +
           "\nVersion de FTD2XX.dll : " + (dll_version.empty() ? "aucune" : dll_version) + ", 32 bits\n";
}

// The library that chg_4917.exe would load, or "" after saying why there is none it can use.
static std::wstring usable_library(const std::wstring &folder)
{
    std::wstring dll = library_for(folder);
    if (dll.empty()) {
        say("FTD2XX.dll est introuvable : Windows ne pourrait pas lancer chg_4917.exe. Installez le pilote USB du "
            "fabricant de la puce, ou placez son FTD2XX.dll 32 bits à côté de chg_4917.exe.\n");
        return L"";
    }
    int bits = program_bits(dll);
    if (bits != 32) {
        say("Le FTD2XX.dll que Windows chargerait, " + utf8(dll) + ", " +
            (bits == 64 ? "est la version 64 bits" : "n'est pas une bibliothèque Windows") +
            " : chg_4917.exe ne peut pas s'en servir. Il faut la version 32 bits du fabricant.\n");
        return L"";
    }
    return dll;
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
    std::wstring dll = usable_library(folder);
    if (dll.empty())
        return 2;
    std::string facts = facts_of(exe, dll);
    say(facts);
    say("\nNe branchez que le coffret de la recette : aucun autre périphérique équipé de la même puce USB. Sa "
        "mémoire sera effacée et réécrite plusieurs fois, après que vous l'aurez confirmé. La recette dure "
        "environ "
        "10 minutes.\n");
    if (!go_ahead("Entrée : commencer ; p : abandonner")) {
        say("Recette abandonnée : rien n'a été fait.\n");
        return 1;
    }
    report = "Rapport de recette de chg_4917 " PROJECT_VERSION "\n\n" + facts +
             "\nLaissé hors de la comparaison : le contenu du coffret tel que trouvé (étape 1), les adresses des "
             "chaînes dans le vidage (octets 16 à 31 de l'enregistrement) et les champs d'extension que la puce "
             "garde (octets 48 à 87).\n";
    Verdict verdicts[STEP_COUNT];
    Known box = {false, "", false};
    bool skipped = false;
    std::string stopped;
    for (size_t i = 0; i < STEP_COUNT; i++) {
        if (i + 1 == FIRST_WRITE && !box_confirmed(box, &stopped))
            report += "\nRecette arrêtée : " + stopped + ".\n";
        verdicts[i] = stopped.empty() ? do_step(i + 1, STEPS[i], exe, &box, &skipped) : NON_TESTE;
    }
    std::string table = "\nRésultat de la recette\n";
    for (size_t i = 0; i < STEP_COUNT; i++)
        table += padded((i < 9 ? " " : "") + std::to_string(i + 1) + ". " + STEPS[i].title, 50) +
                 verdict_name(verdicts[i]) + "\n";
    bool conforme;
    table += overall(verdicts, &conforme);
    report += "\nRéponses du testeur :\n" + answers + table;
    say(table);
    std::wstring written = write_report(folder);
    if (written.empty()) {
        say("Le rapport n'a pas pu être écrit dans " + utf8(folder) + ".\n");
        return 1;
    }
    say("Rapport : " + utf8(written) + "\nEnvoyez ce fichier à qui vous a fourni la recette.\n");
    return conforme ? 0 : 1;
}

int main(void)
{
    // No dialog for a crash or a missing disk, in the kit or in the programs it starts, which
    // inherit this mode: a crash ends the run at once, with its code.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    int status = recette();
    keep_window_open();
    return status;
}
