// The emulator's settings, read from FTEMU_* environment variables at every
// call, so that a test or a user can change them between runs.
#ifndef FTEMU_SETTINGS_H
#define FTEMU_SETTINGS_H

#include <stdint.h>

enum EmuCall { CALL_LIST_DEVICES, CALL_OPEN, CALL_EE_READ, CALL_ERASE_EE, CALL_EE_PROGRAM, CALL_CLOSE, CALL_COUNT };

enum EepromState { EEPROM_PRESENT, EEPROM_ABSENT, EEPROM_UNREADABLE };

#define MAX_FAULTS 32
#define MAX_FLIPS 16

// A fault replaces a call's status, or makes the call hang until the process
// is killed, or crash the process.
enum FaultKind { FAULT_STATUS, FAULT_HANG, FAULT_CRASH };

struct Fault {
    EmuCall call;
    uint32_t nth;  // 0: every call
    FaultKind kind;
    uint32_t status;
};

struct Settings {
    uint32_t devices;
    const char *image;  // null: the default image beside the library
    EepromState eeprom;
    bool unterminated;
    const char *trace;  // null: no trace
    Fault faults[MAX_FAULTS];
    int fault_count;
    // Offsets in the record of bytes that programming stores with their lowest
    // bit flipped: a chip that keeps a wrong setting.
    uint32_t flips[MAX_FLIPS];
    int flip_count;
};

// Fills s from the environment. On a setting that cannot be parsed, prints one
// line on standard error (once for each broken value) and returns false.
bool read_settings(Settings *s);

const char *call_name(EmuCall call);

#endif
