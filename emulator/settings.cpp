#include "settings.h"

#include "fields.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *const CALL_NAMES[CALL_COUNT] = {
    "FT_ListDevices", "FT_Open", "FT_EE_Read", "FT_EraseEE", "FT_EE_Program", "FT_Close",
};

const char *call_name(EmuCall call)
{
    return CALL_NAMES[call];
}

enum Variable { VAR_SETTINGS, VAR_DEVICES, VAR_EEPROM, VAR_STRINGS, VAR_FAIL, VAR_FLIP, VAR_COUNT };
// The value last reported for each variable, so that a broken setting is
// reported once and not at every call.
static char reported[VAR_COUNT][64];

static bool complain(Variable var, const char *name, const char *value, const char *expected)
{
    if (strncmp(reported[var], value, sizeof reported[var] - 1) != 0) {
        snprintf(reported[var], sizeof reported[var], "%s", value);
        fprintf(stderr, "ftemu: %s='%s' cannot be used: %s\n", name, value, expected);
    }
    return false;
}

// The file FTEMU_SETTINGS names, read anew at every call: NAME=value lines that
// stand before the environment, so that a test can unplug the box or plug in
// another device while a program runs. Its lines, each ended by a zero.
static char file_settings[4096];
static const char *end_of_file_settings = file_settings;

static bool read_settings_file(void)
{
    end_of_file_settings = file_settings;
    const char *path = getenv("FTEMU_SETTINGS");
    if (!path || !*path)
        return true;
    FILE *file = fopen(path, "rb");
    size_t length = file ? fread(file_settings, 1, sizeof file_settings, file) : 0;
    bool whole = file && !ferror(file) && length < sizeof file_settings;
    if (file)
        fclose(file);
    if (!whole)
        return complain(VAR_SETTINGS, "FTEMU_SETTINGS", path,
                        "expected a readable file of NAME=value lines, under 4 KiB");
    file_settings[length] = '\0';
    for (size_t i = 0; i < length; i++)
        if (file_settings[i] == '\n' || file_settings[i] == '\r')
            file_settings[i] = '\0';
    end_of_file_settings = file_settings + length;
    return true;
}

// Set and not empty: in the settings file first, then in the environment.
static const char *setting(const char *name)
{
    size_t length = strlen(name);
    for (const char *line = file_settings; line < end_of_file_settings; line += strlen(line) + 1)
        if (strncmp(line, name, length) == 0 && line[length] == '=')
            return line[length + 1] ? line + length + 1 : NULL;
    const char *value = getenv(name);
    return value && *value ? value : NULL;
}

// A whole number from 0 to 0xffffffff, decimal or 0x-prefixed hexadecimal,
// taken from text up to end (exclusive).
static bool parse_u32(const char *text, const char *end, uint32_t *out)
{
    if (text == end || *text == '-' || *text == '+' || *text == ' ')
        return false;
    int base = (end - text > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 16 : 10;
    char digits[24];
    if (end - text >= (long)sizeof digits)
        return false;
    memcpy(digits, text, end - text);
    digits[end - text] = '\0';
    errno = 0;
    char *stop;
    unsigned long long value = strtoull(digits, &stop, base);
    if (errno || *stop || value > 0xffffffffULL)
        return false;
    *out = (uint32_t)value;
    return true;
}

// One rule: CALL[:N]=STATUS, the status a number, hang or crash
static bool parse_fault(const char *rule, const char *end, Fault *fault)
{
    const char *equals = static_cast<const char *>(memchr(rule, '=', end - rule));
    if (!equals)
        return false;
    const char *colon = static_cast<const char *>(memchr(rule, ':', equals - rule));
    const char *name_end = colon ? colon : equals;
    int call = 0;
    while (call < CALL_COUNT && !(strlen(CALL_NAMES[call]) == (size_t)(name_end - rule) &&
                                  strncmp(CALL_NAMES[call], rule, name_end - rule) == 0))
        call++;
    if (call == CALL_COUNT)
        return false;
    fault->call = (EmuCall)call;
    fault->nth = 0;
    if (colon && (!parse_u32(colon + 1, equals, &fault->nth) || fault->nth == 0))
        return false;
    fault->kind = FAULT_STATUS;
    fault->status = 0;
    size_t length = end - equals - 1;
    if (length == 4 && strncmp(equals + 1, "hang", 4) == 0)
        fault->kind = FAULT_HANG;
    else if (length == 5 && strncmp(equals + 1, "crash", 5) == 0)
        fault->kind = FAULT_CRASH;
    else
        return parse_u32(equals + 1, end, &fault->status);
    return true;
}

static bool read_faults(Settings *s)
{
    const char *value = setting("FTEMU_FAIL");
    s->fault_count = 0;
    if (!value)
        return true;
    const char *rule = value;
    while (true) {
        const char *end = strchr(rule, ',');
        if (!end)
            end = rule + strlen(rule);
        if (s->fault_count == MAX_FAULTS || !parse_fault(rule, end, &s->faults[s->fault_count]))
            return complain(VAR_FAIL, "FTEMU_FAIL", value,
                            "expected CALL[:N]=STATUS[,...] with CALL one of FT_ListDevices, "
                            "FT_Open, FT_EE_Read, FT_EraseEE, FT_EE_Program, FT_Close, N from 1, "
                            "STATUS a number, hang or crash, at most 32 rules");
        s->fault_count++;
        if (!*end)
            return true;
        rule = end + 1;
    }
}

// A byte of a numeric field of the record, as this build lays the record out.
static bool in_numeric_field(uint32_t offset)
{
    for (const NumericField &f : NUMERIC_FIELDS)
        if (offset >= f.record && offset < f.record + f.size)
            return true;
    return false;
}

static bool read_flips(Settings *s)
{
    const char *value = setting("FTEMU_FLIP");
    s->flip_count = 0;
    for (const char *at = value; at && *at;) {
        const char *end = strchr(at, ',');
        if (!end)
            end = at + strlen(at);
        uint32_t offset;
        if (s->flip_count == MAX_FLIPS || !parse_u32(at, end, &offset) || !in_numeric_field(offset))
            return complain(VAR_FLIP, "FTEMU_FLIP", value,
                            "expected OFFSET[,...], offsets in the record of bytes of its numeric fields, "
                            "at most 16");
        s->flips[s->flip_count++] = offset;
        at = *end ? end + 1 : end;
    }
    return true;
}

bool read_settings(Settings *s)
{
    bool ok = read_settings_file();

    s->devices = 1;
    const char *devices = setting("FTEMU_DEVICES");
    if (devices && !parse_u32(devices, devices + strlen(devices), &s->devices))
        ok = complain(VAR_DEVICES, "FTEMU_DEVICES", devices, "expected a number from 0 to 4294967295");

    s->eeprom = EEPROM_PRESENT;
    const char *eeprom = setting("FTEMU_EEPROM");
    if (eeprom) {
        if (strcmp(eeprom, "absent") == 0)
            s->eeprom = EEPROM_ABSENT;
        else if (strcmp(eeprom, "unreadable") == 0)
            s->eeprom = EEPROM_UNREADABLE;
        else if (strcmp(eeprom, "present") != 0)
            ok = complain(VAR_EEPROM, "FTEMU_EEPROM", eeprom, "expected present, absent or unreadable");
    }

    s->unterminated = false;
    const char *strings = setting("FTEMU_STRINGS");
    if (strings) {
        if (strcmp(strings, "unterminated") == 0)
            s->unterminated = true;
        else if (strcmp(strings, "terminated") != 0)
            ok = complain(VAR_STRINGS, "FTEMU_STRINGS", strings, "expected terminated or unterminated");
    }

    if (!read_faults(s))
        ok = false;
    if (!read_flips(s))
        ok = false;
    s->image = setting("FTEMU_IMAGE");
    s->trace = setting("FTEMU_TRACE");
    return ok;
}
