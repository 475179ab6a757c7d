// recette.exe: proves a release of chg_4917.exe on a real PC, with the vendor's FTD2XX.dll and a
// real box. It runs the chg_4917.exe beside it step by step, asks for the tester's hands where a
// step needs them, prints a table of verdicts and writes a report beside itself. It writes to no
// device but the box the tester confirmed, twice: before its first write, and after the box is
// plugged in again. Exit status 0 only when every step ran and is conforme and the report is
// written; 2 when it cannot start; 1 otherwise.
#include <stdio.h>
#include <windows.h>

#include "recette.h"

enum Hands { NO_HANDS, UNPLUG, TWO_DEVICES, OWN_CONSOLE, REPLUG, AFTER_REPLUG };

struct Step {
    const char *title;
    const char *road;           // the road that the box's state leads to
    const char *road_if_blank;  // where the box may be blank: the road then
    Hands hands;
};

// The box as found, then as each step leaves it. The READ of the blank box shows every byte the
// kit compares as the road knows it, so that a READ that writes anything is an échec. Where no box
// or several devices are expected, the program runs with READ: it stops before it looks at its
// argument, and if Windows counts one device all the same, that device is only read.
static const Step STEPS[] = {
    {"Lecture du coffret tel que trouvé", "read", "read_blank_box", NO_HANDS},
    {"Mise à jour automatique", "auto_programmed_box", "auto_blank_box", NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Effacement (ERASE)", "erase_updated_box", NULL, NO_HANDS},
    {"Effacement du coffret vierge (ERASE)", "erase_blank_box", NULL, NO_HANDS},
    {"Lecture du coffret vierge", "read_blank_box", NULL, NO_HANDS},
    {"Mise à jour du coffret effacé", "auto_blank_box", NULL, NO_HANDS},
    {"Lecture après la mise à jour", "read_after_update", NULL, NO_HANDS},
    {"Écriture (WRITE)", "write", NULL, NO_HANDS},
    {"Lecture après l'écriture", "read_after_update", NULL, NO_HANDS},
    {"Argument inconnu", "unknown_argument", NULL, NO_HANDS},
    {"Sans coffret", "read_no_device", NULL, UNPLUG},
    {"Deux périphériques", "read_two_devices", NULL, TWO_DEVICES},
    {"Dans sa propre fenêtre (comme après un double-clic)", "read_two_devices", NULL, OWN_CONSOLE},
    {"Coffret seul : lecture", "read_after_update", NULL, REPLUG},
    {"Coffret seul : mise à jour", "auto_programmed_box", NULL, AFTER_REPLUG},
};
#define STEP_COUNT (sizeof STEPS / sizeof STEPS[0])
#define FIRST_WRITE 2

static const char *const INSTRUCTIONS[] = {
    "",
    "Débranchez le coffret et tout autre périphérique équipé de cette puce USB. Attendez que Windows ait "
    "constaté le débranchement.",
    "Branchez le coffret et le second périphérique équipé de la même puce USB. Attendez que Windows les ait "
    "reconnus tous les deux.",
    "Laissez les deux branchés. chg_4917.exe va s'ouvrir dans sa propre fenêtre, comme après un double-clic : "
    "lisez son message, puis attendez que la fenêtre se ferme seule. Ne la fermez pas vous-même.",
    "Débranchez le second périphérique : ne laissez branché que le coffret de la recette. Attendez que Windows "
    "ait constaté le débranchement.",
    "",
};

static std::string answers;

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

// Before a write: true only when the tester answers o. Any other answer, Enter included, and the end
// of standard input are a no.
static bool confirmed(const std::string &question, const std::string &otherwise, const std::string &about)
{
    say(question + "\n");
    std::string answer;
    bool answered = ask("o : oui, continuer ; autre réponse : " + otherwise, &answer);
    answers += "  " + about + " : " + (!answered ? "pas de réponse" : answer.empty() ? "Entrée" : answer) + "\n";
    return answered && (answer == "o" || answer == "O");
}

static void say_judged(const Judged &judged, const Run &run)
{
    say("  " + std::string(verdict_name(judged.verdict)) + " (" + seconds_text(run.seconds) + ")" +
        (judged.why.empty() ? "" : " : " + judged.why) + "\n");
    for (const Difference &d : judged.differences)
        say("    ligne " + std::to_string(d.line) + ", attendue : " + shown(d.expected) + "\n    ligne " +
            std::to_string(d.line) + ", obtenue  : " + shown(d.got) + "\n");
}

static Judged not_run(size_t number, const Step &step, const std::string &why)
{
    say("  non testé : " + why + "\n");
    report_not_run(number, step.title, why);
    return {NON_TESTE, why, {}, {}};
}

// What a READ showed of the device it read, for the tester to recognise it: its identity, or that it
// is blank; "" where it read no device.
static std::string what_was_read(const std::string &out)
{
    if (out.find(BLANK.substr(0, BLANK.size() - 1)) != std::string::npos)
        return "La mémoire de sa puce est vierge : il n'a pas d'identité.\n";
    std::string lines;
    for (const std::string &line : lines_of(out))
        for (const char *label :
             {"Manufacturer    : ", "Description     : ", "VendorId        : ", "ProductId       : "})
            if (line.rfind(label, 0) == 0)
                lines += "  " + shown(line) + "\n";
    return lines;
}

// The box as the kit knows it, from step 1's read and what the steps since did to it.
struct Known {
    bool blank;
    std::string found;      // step 1's output
    std::string replugged;  // the output of the READ after the box was plugged in again
    Followed followed;
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

// Before the first write: the box that step 1 read, confirmed by the tester; otherwise why not.
static std::string box_refused(const Known &box)
{
    std::string found = what_was_read(box.found);
    if (found.empty()) {
        say("\nL'étape 1 n'a lu aucun coffret. La recette s'arrête ; rien n'a été écrit.\n");
        return "l'étape 1 n'a lu aucun coffret : rien n'a été écrit";
    }
    say("\nLe périphérique branché est celui-ci :\n" + found);
    if (confirmed("Sa mémoire va être effacée et réécrite ; son identité et son numéro de série d'origine ne "
                  "seront pas rétablis.\nEst-ce bien le coffret de la recette, qui peut être effacé ?",
                  "arrêter", "Coffret à effacer"))
        return "";
    say("La recette s'arrête ; rien n'a été écrit.\n");
    return "le testeur n'a pas confirmé que ce coffret pouvait être effacé : rien n'a été écrit";
}

// Before the write to the box plugged in again: it shows the identity the kit wrote, and the tester
// confirms that it is the kit's box and not a second box of the same identity; otherwise why not.
static std::string replugged_refused(const Known &box)
{
    if (box.replugged.find(crlf(MEMORY_IDENTITY)) == std::string::npos)
        return "le périphérique branché ne porte pas l'identité écrite par la recette : rien n'y a été écrit";
    say("Le périphérique resté branché porte l'identité écrite par la recette :\n" + what_was_read(box.replugged) +
        "Un second coffret 4917 déjà mis à jour porterait la même identité : seul votre marquage permet de les "
        "distinguer.\n");
    if (confirmed("Sa mémoire va être effacée et réécrite.\nEst-ce bien le coffret de la recette, et non le "
                  "second périphérique ?",
                  "ne pas faire l'étape " + std::to_string(STEP_COUNT), "Coffret resté branché"))
        return "";
    return "le testeur n'a pas confirmé que le périphérique branché était le coffret de la recette : rien n'y a "
           "été écrit";
}

// Where this run found the box otherwise than the earlier run on it found it, and that run's road
// keeps the box, that run changed the box: its step becomes an échec, in the report and the table too.
static void follow(Known *box, size_t number, bool hands, const Road &road, const Run &run, Judged *judged)
{
    size_t earlier = box->followed.step;
    std::string changed = follow_the_box(&box->followed, number, hands, road, run);
    if (changed.empty())
        return;
    Judged &that = judged[earlier - 1];
    that.verdict = ECHEC;
    that.why += (that.why.empty() ? "" : " ; ") + changed;
    say("  L'étape " + std::to_string(earlier) + " est un échec : " + changed + "\n");
    report_verdict(earlier, that);
}

// Runs the step and judges it, as judged[number - 1]; an earlier step may be judged again.
static void do_step(size_t number, const Step &step, const std::wstring &exe, Known *box, bool *skipped, Judged *judged)
{
    Judged &this_step = judged[number - 1];
    say("\nÉtape " + std::to_string(number) + "/" + std::to_string(STEP_COUNT) + " : " + step.title + "\n");
    bool hands = step.hands != NO_HANDS && step.hands != AFTER_REPLUG;
    if (hands) {
        say(std::string(INSTRUCTIONS[step.hands]) + "\n");
        *skipped = !go_ahead("Entrée : faire l'étape ; p : la sauter");
        answers += "  Étape " + std::to_string(number) + " : " + (*skipped ? "sautée" : "faite") + "\n";
    }
    if (*skipped) {
        this_step = not_run(number, step, "étape sautée");
        return;
    }
    if (step.hands == AFTER_REPLUG) {
        std::string refused = replugged_refused(*box);
        if (!refused.empty()) {
            this_step = not_run(number, step, refused);
            return;
        }
    }
    const Road *road = &road_named(step.road_if_blank && box->blank ? step.road_if_blank : step.road);
    bool own_console = step.hands == OWN_CONSOLE;
    Run run = run_program(exe, road->args, own_console);
    if (own_console) {
        int accents = yes_no("Dans son message, les lettres é et à s'affichaient-elles correctement ?");
        int closed = yes_no("La fenêtre s'est-elle fermée seule, au bout d'environ 5 s ?");
        this_step = judge_by_eye(run, accents, closed);
    } else if (number == 1) {
        this_step = judge_as_found(run, step, &road, box);
        box->found = run.out;
    } else {
        this_step = judge(run, *road, false);
    }
    if (step.hands == REPLUG)
        box->replugged = run.out;
    say_judged(this_step, run);
    report_step(number, step.title, *road, own_console, run, this_step);
    follow(box, number, hands, *road, run, judged);
}

// Padded to width characters, not bytes.
static std::string padded(const std::string &text, size_t width)
{
    size_t characters = 0;
    for (unsigned char c : text)
        characters += (c & 0xc0) != 0x80;
    return text + std::string(width > characters ? width - characters : 0, ' ');
}

// The last line: conforme only when every step ran and is conforme.
static std::string overall(const Judged *judged, bool *conforme)
{
    Verdict worst = CONFORME;
    size_t untested = 0;
    for (size_t i = 0; i < STEP_COUNT; i++) {
        untested += judged[i].verdict == NON_TESTE;
        worst = judged[i].verdict != NON_TESTE && judged[i].verdict > worst ? judged[i].verdict : worst;
    }
    *conforme = worst == CONFORME && !untested;
    std::string line = "Recette : ";
    line += worst == CONFORME && untested ? "incomplète" : verdict_name(worst);
    if (untested)
        line += " ; " + std::to_string(untested) + (untested > 1 ? " étapes non testées" : " étape non testée");
    return line + "\n";
}

// The library that chg_4917.exe would load, or "" after saying why there is none it can use.
static std::wstring usable_library(const std::wstring &folder)
{
    std::wstring dll = library_for(folder);
    if (dll.empty()) {
        say("FTD2XX.dll est introuvable : Windows ne pourrait pas lancer chg_4917.exe. Installez le pilote USB du "
            "fabricant de la puce, ou placez son FTD2XX.dll 32 bits dans le même dossier que chg_4917.exe.\n");
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
        say("chg_4917.exe manque dans le dossier de recette.exe, " + utf8(folder) +
            ", ou n'est pas un programme 32 bits. Décompressez toute l'archive (.zip) de la recette dans un même "
            "dossier.\n");
        return 2;
    }
    std::wstring dll = usable_library(folder);
    if (dll.empty())
        return 2;
    std::string facts = facts_of(own_path(), exe, dll);
    say(facts);
    say("\nNe branchez que le coffret de la recette : aucun autre périphérique équipé de la même puce USB. Sa "
        "mémoire sera effacée et réécrite plusieurs fois, après que vous l'aurez confirmé. La recette dure "
        "environ 10 minutes.\n");
    if (!go_ahead("Entrée : commencer ; p : abandonner")) {
        say("Recette abandonnée : rien n'a été fait.\n");
        return 1;
    }
    report_begin(facts);
    Judged judged[STEP_COUNT];
    Known box = {false, "", "", {0, "", NOT_REACHED}};
    bool skipped = false;
    std::string stopped;
    for (size_t i = 0; i < STEP_COUNT; i++) {
        if (i + 1 == FIRST_WRITE) {
            stopped = box_refused(box);
            if (!stopped.empty())
                report_stopped(stopped);
        }
        if (stopped.empty())
            do_step(i + 1, STEPS[i], exe, &box, &skipped, judged);
        else
            judged[i] = {NON_TESTE, stopped, {}, {}};
    }
    std::string table = "\nRésultat de la recette\n";
    for (size_t i = 0; i < STEP_COUNT; i++)
        table += padded((i < 9 ? " " : "") + std::to_string(i + 1) + ". " + STEPS[i].title, 58) +
                 verdict_name(judged[i].verdict) + "\n";
    bool conforme;
    table += overall(judged, &conforme);
    say(table);
    std::wstring written = write_report(folder, answers, table);
    if (written.empty()) {
        say("Le rapport n'a pas pu être écrit dans " + utf8(folder) + ".\n");
        return 1;
    }
    say("Rapport : " + utf8(written) + "\nEnvoyez ce fichier à la personne qui vous a fourni la recette.\n");
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
