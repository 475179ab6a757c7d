// The numeric fields the EEPROM keeps, in record order: where each lies in
// the emulator's Eeprom and in the program-data record, its size, and the
// record version that brought it (0 basic, 1 dual-interface extension, 2
// single-interface extension). The image file and the record both follow it.
#ifndef FTEMU_FIELDS_H
#define FTEMU_FIELDS_H

#include <stddef.h>

#include "../src/FTD2XX.h"
#include "image.h"

struct NumericField {
    size_t eeprom;
    size_t record;
    size_t size;
    DWORD version;
};

// One field a cell, in the order of the record.
// clang-format off
#define FIELD(name, version) \
    {offsetof(Eeprom, name), offsetof(FT_PROGRAM_DATA, name), sizeof(Eeprom::name), version}

static const NumericField NUMERIC_FIELDS[] = {
    FIELD(VendorId, 0), FIELD(ProductId, 0), FIELD(MaxPower, 0), FIELD(PnP, 0),
    FIELD(SelfPowered, 0), FIELD(RemoteWakeup, 0), FIELD(Rev4, 0), FIELD(IsoIn, 0),
    FIELD(IsoOut, 0), FIELD(PullDownEnable, 0), FIELD(SerNumEnable, 0),
    FIELD(USBVersionEnable, 0), FIELD(USBVersion, 0),
    FIELD(Rev5, 1), FIELD(IsoInA, 1), FIELD(IsoInB, 1), FIELD(IsoOutA, 1), FIELD(IsoOutB, 1),
    FIELD(PullDownEnable5, 1), FIELD(SerNumEnable5, 1), FIELD(USBVersionEnable5, 1),
    FIELD(USBVersion5, 1), FIELD(AIsHighCurrent, 1), FIELD(BIsHighCurrent, 1), FIELD(IFAIsFifo, 1),
    FIELD(IFAIsFifoTar, 1), FIELD(IFAIsFastSer, 1), FIELD(AIsVCP, 1), FIELD(IFBIsFifo, 1),
    FIELD(IFBIsFifoTar, 1), FIELD(IFBIsFastSer, 1), FIELD(BIsVCP, 1),
    FIELD(UseExtOsc, 2), FIELD(HighDriveIOs, 2), FIELD(EndpointSize, 2), FIELD(PullDownEnableR, 2),
    FIELD(SerNumEnableR, 2), FIELD(InvertTXD, 2), FIELD(InvertRXD, 2), FIELD(InvertRTS, 2),
    FIELD(InvertCTS, 2), FIELD(InvertDTR, 2), FIELD(InvertDSR, 2), FIELD(InvertDCD, 2),
    FIELD(InvertRI, 2), FIELD(Cbus0, 2), FIELD(Cbus1, 2), FIELD(Cbus2, 2), FIELD(Cbus3, 2),
    FIELD(Cbus4, 2), FIELD(RIsVCP, 2),
};
// clang-format on

#undef FIELD

#endif
