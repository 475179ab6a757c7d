// The program's process-lifetime state and its EEPROM operations, defined in
// changeur.cpp. The tests reach them through runs of the whole program
// (tests/roads.cpp), on the emulated device library; only the faulty release
// of the kit's tests calls two of them itself (tests/read_writes.cpp).
#ifndef CHANGEUR_H
#define CHANGEUR_H

#include "FTD2XX.h"

extern FT_STATUS ftStatus;
extern DWORD numDevs;
extern FT_HANDLE ftHandle;
extern LONG locIdBuf[10];

extern FT_PROGRAM_DATA ftData;
extern char ManufacturerBuf[32];
extern char ManufacturerIdBuf[16];
extern char DescriptionBuf[64];
extern char SerialNumberBuf[16];

void read_memory(void);
int is_mem_empty(void);
void erase_memory(void);
void write_memory(void);

#endif
