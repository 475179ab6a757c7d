// A scripted stand-in for the device library, linked into the unit tests in
// place of the emulator: each call returns the status it is told to, and the
// records and strings it is handed are kept for the tests to look at.
#ifndef FAKE_FTD2XX_H
#define FAKE_FTD2XX_H

#include <string>

#include "../src/FTD2XX.h"

struct FakeLibrary {
    FT_STATUS read_status = FT_OK;
    FT_STATUS erase_status = FT_OK;
    FT_STATUS program_status = FT_OK;
    // What a read with status FT_OK puts into the record: every field but the
    // header and the string pointers, and the four strings.
    FT_PROGRAM_DATA eeprom = {};
    std::string strings[4];
    bool unterminated = false;  // fill the string buffers with no zero

    bool read_pointers_null = false;  // as handed to the last read
    FT_PROGRAM_DATA programmed = {};  // the record handed to FT_EE_Program
    std::string programmed_strings[4];
};

extern FakeLibrary fake;

#endif
