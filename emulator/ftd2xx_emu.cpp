// Our emulated device library: the six calls the program uses, answered by
// emulated boxes whose EEPROM is an image file. Every attached box shows the
// same EEPROM. Settings come from FTEMU_* environment variables, read at
// every call (see README.md beside this file).
#include <signal.h>
#include <stdio.h>
#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "../src/FTD2XX.h"
#include "fields.h"
#include "image.h"
#include "settings.h"

#if defined(_WIN32)
#define EXPORT
#else
#define EXPORT __attribute__((visibility("default")))
#endif

// Open handles point at these slots.
struct Slot {
    bool open;
    uint32_t index;
};
static Slot slots[8];

static uint32_t call_counts[CALL_COUNT];

// What a call is to do, once its settings are read and its faults looked up.
struct Call {
    Settings settings;
    bool broken;       // a setting cannot be parsed: fail at once
    bool injected;     // a fault replaces the call's own status
    FT_STATUS status;  // the injected status
};

// A call that hangs waits for the process to be killed; one that crashes
// ends the process with the code of an access violation, as a crash ends it
// where no dialog holds it (wine would start its debugger for a real one).
static void hang_or_crash(FaultKind kind)
{
    if (kind == FAULT_HANG)
        for (;;)
#if defined(_WIN32)
            Sleep(60000);
#else
            sleep(60);
#endif
    if (kind == FAULT_CRASH) {
#if defined(_WIN32)
        TerminateProcess(GetCurrentProcess(), (UINT)EXCEPTION_ACCESS_VIOLATION);
#endif
        raise(SIGSEGV);
    }
}

static void begin(EmuCall which, Call *call)
{
    uint32_t nth = ++call_counts[which];
    call->broken = !read_settings(&call->settings);
    call->injected = false;
    call->status = FT_OK;
    const Settings &s = call->settings;
    for (int i = 0; !call->broken && i < s.fault_count; i++) {
        if (s.faults[i].call == which && (s.faults[i].nth == 0 || s.faults[i].nth == nth)) {
            hang_or_crash(s.faults[i].kind);
            // An injected FT_OK is no fault: the call then works as usual.
            call->injected = s.faults[i].status != FT_OK;
            call->status = s.faults[i].status;
            break;
        }
    }
}

// Ends a call: writes its trace line and returns its status.
static FT_STATUS finish(const Call &call, const char *what, FT_STATUS status)
{
    if (call.broken)
        status = FT_OTHER_ERROR;
    else if (call.injected)
        status = call.status;
    const char *path = call.settings.trace;
    if (path) {
        FILE *file = fopen(path, "a");
        if (file) {
            fprintf(file, "%s -> %lu\n", what, (unsigned long)status);
            fclose(file);
        } else {
            fprintf(stderr, "ftemu: FTEMU_TRACE=%s cannot be opened for appending\n", path);
        }
    }
    return status;
}

static bool skipped(const Call &call)
{
    return call.broken || call.injected;
}

static Slot *slot_of(const void *handle)
{
    for (Slot &slot : slots)
        if (handle == &slot && slot.open)
            return &slot;
    return NULL;
}

// A record of a later version would be longer than the one we know: refuse
// it rather than read or write past its end.
static bool header_ok(const FT_PROGRAM_DATA *data)
{
    return data->Signature1 == 0x00000000 && data->Signature2 == 0xffffffff && data->Version <= 2;
}

// The status of an EEPROM that cannot be reached, or FT_OK.
static FT_STATUS eeprom_state(const Settings &s, FT_STATUS when_unreadable)
{
    if (s.eeprom == EEPROM_ABSENT)
        return FT_EEPROM_NOT_PRESENT;
    if (s.eeprom == EEPROM_UNREADABLE)
        return when_unreadable;
    return FT_OK;
}

static const char *pointers_kind(const FT_PROGRAM_DATA *data)
{
    int set = !!data->Manufacturer + !!data->ManufacturerId + !!data->Description + !!data->SerialNumber;
    if (set == 3 && !data->SerialNumber)
        return "buffers, null serial";
    return set == 0 ? "null" : set == 4 ? "buffers" : "mixed";
}

// Copies a string into a caller's buffer of the given size: whole, with its
// zero, when it fits; cut to the buffer otherwise. With FTEMU_STRINGS set to
// unterminated, fills the whole buffer with the text repeated and no zero.
static void copy_string(char *to, size_t size, const char *text, bool unterminated)
{
    if (!to)
        return;
    size_t length = strlen(text);
    if (unterminated) {
        for (size_t i = 0; i < size; i++)
            to[i] = length ? text[i % length] : '#';
        return;
    }
    if (length >= size)
        length = size - 1;
    memcpy(to, text, length);
    to[length] = '\0';
}

static void fill_record(FT_PROGRAM_DATA *d, const Eeprom &e, bool unterminated)
{
    for (const NumericField &f : NUMERIC_FIELDS)
        if (f.version <= d->Version)  // an older record is shorter
            memcpy(reinterpret_cast<char *>(d) + f.record, reinterpret_cast<const char *>(&e) + f.eeprom, f.size);
    copy_string(d->Manufacturer, 32, e.Manufacturer, unterminated);
    copy_string(d->ManufacturerId, 16, e.ManufacturerId, unterminated);
    copy_string(d->Description, 64, e.Description, unterminated);
    copy_string(d->SerialNumber, 16, e.SerialNumber, unterminated);
}

// Takes a caller's string, null meaning empty; false when it does not fit.
static bool take_string(char *to, size_t room, const char *text)
{
    size_t length = text ? strnlen(text, room + 1) : 0;
    if (length > room)
        return false;
    memcpy(to, text ? text : "", length);
    to[length] = '\0';
    return true;
}

static bool take_record(Eeprom *e, const FT_PROGRAM_DATA *d)
{
    memset(e, 0, sizeof *e);
    for (const NumericField &f : NUMERIC_FIELDS)
        if (f.version <= d->Version)
            memcpy(reinterpret_cast<char *>(e) + f.eeprom, reinterpret_cast<const char *>(d) + f.record, f.size);
    return take_string(e->Manufacturer, MANUFACTURER_MAX, d->Manufacturer) &&
           take_string(e->ManufacturerId, MANUFACTURER_ID_MAX, d->ManufacturerId) &&
           take_string(e->Description, DESCRIPTION_MAX, d->Description) &&
           take_string(e->SerialNumber, SERIAL_NUMBER_MAX, d->SerialNumber);
}

extern "C" {

EXPORT FT_STATUS FTD2XX_API FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags)
{
    Call call;
    begin(CALL_LIST_DEVICES, &call);
    char what[48];
    snprintf(what, sizeof what, "FT_ListDevices 0x%08lx", (unsigned long)Flags);
    if (call.broken)
        return finish(call, what, FT_OTHER_ERROR);

    // A list that stumbles still reports what it counted: an injected fault
    // changes only the status.
    uint32_t devices = call.settings.devices;
    if (Flags == FT_LIST_NUMBER_ONLY) {
        if (!pArg1)
            return finish(call, what, FT_INVALID_PARAMETER);
        *static_cast<DWORD *>(pArg1) = devices;
    } else if (Flags == (FT_LIST_ALL | FT_OPEN_BY_LOCATION)) {
        if (!pArg1 || !pArg2)
            return finish(call, what, FT_INVALID_PARAMETER);
        // One location id per attached device, with no bound, as the library
        // does: the caller must have counted first.
        LONG *ids = static_cast<LONG *>(pArg1);
        for (uint32_t i = 0; i < devices; i++)
            ids[i] = static_cast<LONG>(0x1000 + i);  // cppcheck-suppress unreadVariable
        *static_cast<DWORD *>(pArg2) = devices;
    } else {
        return finish(call, what, FT_NOT_SUPPORTED);
    }
    return finish(call, what, FT_OK);
}

EXPORT FT_STATUS FTD2XX_API FT_Open(int deviceNumber, FT_HANDLE *pHandle)
{
    Call call;
    begin(CALL_OPEN, &call);
    char what[48];
    snprintf(what, sizeof what, "FT_Open %d", deviceNumber);
    // An open that fails by injection leaves a value in the handle that names
    // no device, as a library may: only the status tells it failed.
    if (call.injected && pHandle)
        *pHandle = &call_counts;
    if (skipped(call))
        return finish(call, what, call.status);
    if (!pHandle)
        return finish(call, what, FT_INVALID_PARAMETER);
    if (deviceNumber < 0 || (uint32_t)deviceNumber >= call.settings.devices)
        return finish(call, what, FT_DEVICE_NOT_FOUND);
    Slot *free_slot = NULL;
    for (Slot &slot : slots) {
        if (slot.open && slot.index == (uint32_t)deviceNumber)
            return finish(call, what, FT_DEVICE_NOT_OPENED);  // already in use
        if (!slot.open && !free_slot)
            free_slot = &slot;
    }
    if (!free_slot)
        return finish(call, what, FT_INSUFFICIENT_RESOURCES);
    free_slot->open = true;
    free_slot->index = (uint32_t)deviceNumber;
    *pHandle = free_slot;
    return finish(call, what, FT_OK);
}

EXPORT FT_STATUS FTD2XX_API FT_EE_Read(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData)
{
    Call call;
    begin(CALL_EE_READ, &call);
    char what[48];
    snprintf(what, sizeof what, "FT_EE_Read %s", pData ? pointers_kind(pData) : "no-record");
    if (skipped(call))
        return finish(call, what, call.status);
    if (!slot_of(ftHandle))
        return finish(call, what, FT_INVALID_HANDLE);
    if (!pData || !header_ok(pData))
        return finish(call, what, FT_INVALID_PARAMETER);
    FT_STATUS state = eeprom_state(call.settings, FT_EEPROM_READ_FAILED);
    if (state != FT_OK)
        return finish(call, what, state);
    Eeprom e;
    switch (load_image(call.settings.image, &e)) {
    case IMAGE_FAILED:
        return finish(call, what, FT_EEPROM_READ_FAILED);
    case IMAGE_BLANK:
        return finish(call, what, FT_EEPROM_NOT_PROGRAMMED);
    case IMAGE_PROGRAMMED:
        break;
    }
    fill_record(pData, e, call.settings.unterminated);
    return finish(call, what, FT_OK);
}

EXPORT FT_STATUS FTD2XX_API FT_EraseEE(FT_HANDLE ftHandle)
{
    Call call;
    begin(CALL_ERASE_EE, &call);
    const char *what = "FT_EraseEE";
    if (skipped(call))
        return finish(call, what, call.status);
    if (!slot_of(ftHandle))
        return finish(call, what, FT_INVALID_HANDLE);
    FT_STATUS state = eeprom_state(call.settings, FT_EEPROM_ERASE_FAILED);
    if (state != FT_OK)
        return finish(call, what, state);
    // An image that cannot be read is left alone: erasing it would hide
    // what went wrong.
    Eeprom e;
    if (load_image(call.settings.image, &e) == IMAGE_FAILED || !save_image(call.settings.image, NULL))
        return finish(call, what, FT_EEPROM_ERASE_FAILED);
    return finish(call, what, FT_OK);
}

EXPORT FT_STATUS FTD2XX_API FT_EE_Program(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData)
{
    Call call;
    begin(CALL_EE_PROGRAM, &call);
    char what[48];
    snprintf(what, sizeof what, "FT_EE_Program %s", pData ? pointers_kind(pData) : "no-record");
    if (skipped(call))
        return finish(call, what, call.status);
    if (!slot_of(ftHandle))
        return finish(call, what, FT_INVALID_HANDLE);
    Eeprom e;
    if (!pData || !header_ok(pData) || !take_record(&e, pData))
        return finish(call, what, FT_INVALID_PARAMETER);
    FT_STATUS state = eeprom_state(call.settings, FT_EEPROM_WRITE_FAILED);
    if (state != FT_OK)
        return finish(call, what, state);
    for (int i = 0; i < call.settings.flip_count; i++)
        for (const NumericField &f : NUMERIC_FIELDS)
            if (f.version <= pData->Version && call.settings.flips[i] - f.record < f.size)
                reinterpret_cast<char *>(&e)[f.eeprom + call.settings.flips[i] - f.record] ^= 1;
    Eeprom old;
    if (load_image(call.settings.image, &old) == IMAGE_FAILED || !save_image(call.settings.image, &e))
        return finish(call, what, FT_EEPROM_WRITE_FAILED);
    return finish(call, what, FT_OK);
}

EXPORT FT_STATUS FTD2XX_API FT_Close(FT_HANDLE ftHandle)
{
    Call call;
    begin(CALL_CLOSE, &call);
    const char *what = ftHandle ? "FT_Close" : "FT_Close null";
    if (skipped(call))
        return finish(call, what, call.status);
    Slot *slot = slot_of(ftHandle);
    if (!slot)
        return finish(call, what, FT_INVALID_HANDLE);
    slot->open = false;
    return finish(call, what, FT_OK);
}
}
