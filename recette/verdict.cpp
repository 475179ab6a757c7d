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

// The road's record with the bytes left out of the comparison taken from the run's.
static std::string expected_record(const Road &road, const std::string &got, bool as_found)
{
    std::string hex = HEADER + road.dump, record;
    for (size_t at = 0; at + 2 <= hex.size(); at += 3)
        record += byte_of(hex.substr(at, 2));
    record.insert(POINTERS_AT, POINTERS_END - POINTERS_AT, '\0');
    for (size_t at = 0; at < record.size() && at < got.size(); at++)
        if (!compared(at, as_found))
            record[at] = got[at];
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
           : run.killed ? "arrêté au bout de " + std::to_string(RUN_LIMIT) + " s"
           : run.status ? std::string("fini avec le statut ") + status
                        : "";
}

// The text, then the dump, each line against the line of the same rank: a line missing from the
// text does not shift the dump. Numbered as in the run's output.
static void compare(const std::vector<std::string> &expected, const std::vector<std::string> &got, size_t first,
                    bool as_found, std::vector<Difference> *differences)
{
    for (size_t i = 0; i < std::max(expected.size(), got.size()); i++) {
        std::string e = i < expected.size() ? expected[i] : "", g = i < got.size() ? got[i] : "";
        if (e != g && !(as_found && same_but_the_value(e, g)))
            differences->push_back({first + i, e, g});
    }
}

Judged judge(const Run &run, const Road &road, bool as_found)
{
    size_t dump_at = std::min(run.out.find("0x000000: "), run.out.size());
    std::vector<std::string> got = lines_of(run.out.substr(0, dump_at)), got_dump = lines_of(run.out.substr(dump_at)),
                             expected_dump;
    if (!road.dump.empty()) {
        std::string record = expected_record(road, dumped_bytes(got_dump), as_found);
        for (size_t from = 0; from < record.size(); from += 32)
            expected_dump.push_back(dump_line(record, from));
    }
    Judged judged = {CONFORME, failure(run), {}};
    compare(lines_of(crlf(START + road.out)), got, 1, as_found, &judged.differences);
    compare(expected_dump, got_dump, got.size() + 1, as_found, &judged.differences);
    // The lines that say how the box ends: written, read back, erased.
    for (const std::string &end : {UPDATED, MEMORY_IDENTITY, ERASED})
        if (judged.why.empty() && road.out.find(end) != std::string::npos &&
            run.out.find(crlf(end)) == std::string::npos)
            judged.why = "il manque « " + end.substr(0, end.find('\n')) + " »";
    judged.verdict = !judged.why.empty() ? ECHEC : judged.differences.empty() ? CONFORME : DIFFERENT;
    return judged;
}

Judged judge_by_eye(const Run &run, int accents_right, int closed_after_5_s)
{
    Judged judged = {ECHEC, failure(run), {}};
    if (!judged.why.empty())
        return judged;
    if (accents_right < 0 || closed_after_5_s < 0)
        return {NON_TESTE, "pas de réponse", {}};
    if (!accents_right)
        return {DIFFERENT, "é et à ne se lisent pas bien", {}};
    if (!closed_after_5_s)
        return {DIFFERENT, "la fenêtre ne s'est pas fermée seule après environ 5 s", {}};
    return {CONFORME, "", {}};
}
