#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "recette.h"

// The 88-byte record that the 32-bit program dumps. Its string pointers (bytes 16 to 31) and the
// extension fields that the chip keeps (48 on) are never compared; as found, the ids and the
// settings (12 to 47) are not either: only the header is the program's own.
#define RECORD_HEADER 12
#define POINTERS_AT 16
#define POINTERS_END 32
#define EXTENSION_AT 48

const char *verdict_name(Verdict verdict)
{
    static const char *const NAMES[] = {"conforme", "différent", "échec", "non testé"};
    return NAMES[verdict];
}

static bool compared(size_t at, bool as_found)
{
    return at < RECORD_HEADER || (!as_found && at < EXTENSION_AT && (at < POINTERS_AT || at >= POINTERS_END));
}

// A line of the dump as the program prints it: the offset, 32 byte fields, then the characters.
static std::string dump_line(const std::string &record, size_t from)
{
    char piece[16];
    snprintf(piece, sizeof piece, "0x%06x: ", (unsigned)from);
    std::string line = piece, characters;
    for (size_t at = from; at < from + 32; at++) {
        bool in = at < record.size();
        unsigned char value = in ? (unsigned char)record[at] : 0;
        snprintf(piece, sizeof piece, in ? "%02x " : "   ", value);
        line += piece;
        characters += !in ? ' ' : value >= 0x20 && value <= 0x7e ? (char)value : '.';
    }
    return line + characters + "\r\n";
}

static char byte_of(const std::string &hex)
{
    return (char)strtoul(hex.c_str(), NULL, 16);
}

// The bytes that the dump's lines show: two hexadecimal digits every three characters.
static std::string dumped_bytes(const std::vector<std::string> &lines)
{
    std::string record;
    for (const std::string &line : lines)
        for (size_t at = 10; at < 106 && at + 2 <= line.size() && isxdigit(line[at]) && isxdigit(line[at + 1]); at += 3)
            record += byte_of(line.substr(at, 2));
    return record;
}

// The road's record, its pointers as zeros.
static std::string road_record(const Road &road)
{
    std::string hex = HEADER + road.dump, record;
    for (size_t at = 0; at + 2 <= hex.size(); at += 3)
        record += byte_of(hex.substr(at, 2));
    record.insert(POINTERS_AT, POINTERS_END - POINTERS_AT, '\0');
    return record;
}

// As found, the identity block's values are the box's own.
static bool same_but_the_value(const std::string &expected, const std::string &got)
{
    for (const char *label :
         {"Manufacturer    : ", "Manufacturer ID : ", "Description     : ", "VendorId        : ", "ProductId       : "})
        if (expected.rfind(label, 0) == 0)
            return got.rfind(label, 0) == 0 && got.size() >= 2 && got.compare(got.size() - 2, 2, "\r\n") == 0;
    return false;
}

static std::string failure(const Run &run)
{
    char status[64];
    snprintf(status, sizeof status, run.status > 0xffff ? "0x%08lx" : "%lu", run.status);
    return !run.started ? "chg_4917.exe n'a pas pu être lancé"
           : run.killed
               ? "chg_4917.exe a été arrêté au bout de " + std::to_string(RUN_LIMIT) + " s, sans code de sortie"
           : run.status ? std::string("chg_4917.exe s'est terminé avec le code de sortie ") + status
                        : "";
}

// Each line against the line of the same rank, numbered on from *line.
static void compare(const std::vector<std::string> &expected, const std::vector<std::string> &got, bool as_found,
                    bool in_dump, size_t *line, std::vector<Difference> *differences)
{
    for (size_t i = 0; i < std::max(expected.size(), got.size()); i++, ++*line) {
        std::string e = i < expected.size() ? expected[i] : "", g = i < got.size() ? got[i] : "";
        if (e != g && !(as_found && same_but_the_value(e, g)))
            differences->push_back({*line, e, g, in_dump});
    }
}

// The first line of a block that tells how the box ends and that the output lacks, or "".
static std::string first_missing(const std::string &block, const std::string &out)
{
    std::vector<std::string> lines = lines_of(block);
    std::string head;
    for (const std::string &line : lines) {
        head += line;
        if (out.find(crlf(head)) == std::string::npos)
            return line.substr(0, line.find('\n'));
    }
    return "";
}

// The seconds of the road's closing pause.
static int pause_of(const Road &road)
{
    return road.trace.find(PAUSE7) != std::string::npos ? 7 : 5;
}

// The 5-second pause follows the flush of the output, so it is the time from the last output to the
// end; the 7-second roads leave the output to the end of the process, so the whole run counts. A
// tenth is left for the clocks.
static bool paused_long_enough(const Run &run, const Road &road)
{
    double paused = pause_of(road) == 7 ? run.seconds : run.quiet_seconds;
    return paused >= 0.9 * pause_of(road) * PAUSE_SECOND;
}

bool keeps_the_box(const Road &road)
{
    return road.out.find(UPDATED) == std::string::npos && road.out.find(ERASED) == std::string::npos;
}

std::string command_of(const Road &road)
{
    std::string command = "chg_4917.exe";
    for (const std::string &arg : road.args)
        command += " " + arg;
    return command;
}

static void add(std::string *reasons, const std::string &reason)
{
    *reasons += (reasons->empty() ? "" : " ; ") + reason;
}

Judged judge(const Run &run, const Road &road, bool as_found)
{
    size_t dump_at = std::min(run.out.find("0x000000: "), run.out.size()), line = 1;
    std::vector<std::string> got = lines_of(run.out.substr(0, dump_at)), got_dump = lines_of(run.out.substr(dump_at));
    Judged judged = {CONFORME, failure(run), {}, {}};
    compare(lines_of(crlf(START + road.out)), got, as_found, false, &line, &judged.differences);
    std::string got_record = dumped_bytes(got_dump), record, ended;
    if (!road.dump.empty())
        record = road_record(road);
    for (size_t at = 0; at < record.size(); at++) {
        bool here = at < got_record.size();
        if (compared(at, as_found) && (!here || got_record[at] != record[at]))
            judged.bytes.push_back({at, (unsigned char)record[at], here ? (unsigned char)got_record[at] : -1});
        else if (here)
            record[at] = got_record[at];
    }
    std::vector<std::string> expected_dump;
    for (size_t from = 0; from < record.size(); from += 32)
        expected_dump.push_back(dump_line(record, from));
    compare(expected_dump, got_dump, false, true, &line, &judged.differences);
    for (const std::string &end : {UPDATED, MEMORY_IDENTITY, ERASED})
        if (ended.empty() && road.out.find(end) != std::string::npos)
            ended = first_missing(end, run.out);
    if (!ended.empty())
        add(&judged.why, "il manque « " + ended + " »");
    // Where the road leaves the box as it was, a line that says it was changed.
    for (const std::string &change : {UPDATED, ERASED}) {
        std::string said = change.substr(0, change.find('\n'));
        if (keeps_the_box(road) && run.out.find(said) != std::string::npos)
            add(&judged.why, "chg_4917.exe dit avoir modifié le coffret : « " + said + " »");
    }
    size_t bytes = judged.bytes.size();
    if (bytes)
        add(&judged.why, std::to_string(bytes) + (bytes > 1 ? " octets de l'enregistrement diffèrent"
                                                            : " octet de l'enregistrement diffère"));
    // Every reason so far says that the box does not end as the road says.
    bool box_wrong = !judged.why.empty();
    if (!box_wrong && !paused_long_enough(run, road))
        judged.why = "chg_4917.exe s'est fermé avant la fin de sa pause de " + std::to_string(pause_of(road)) + " s";
    judged.verdict = box_wrong ? ECHEC : !judged.why.empty() || !judged.differences.empty() ? DIFFERENT : CONFORME;
    return judged;
}

Judged judge_by_eye(const Run &run, int accents_right, int closed_after_5_s)
{
    Judged judged = {ECHEC, failure(run), {}, {}};
    if (!judged.why.empty())
        return judged;
    if (accents_right == 0)
        return {DIFFERENT, "les lettres é et à ne s'affichaient pas correctement", {}, {}};
    if (closed_after_5_s == 0)
        return {DIFFERENT, "la fenêtre ne s'est pas fermée seule au bout d'environ 5 s", {}, {}};
    if (accents_right < 0 || closed_after_5_s < 0)
        return {NON_TESTE, "pas de réponse", {}, {}};
    return {CONFORME, "", {}, {}};
}
