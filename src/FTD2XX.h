// Declaration of the device library that reaches the box's USB chip.
// Only what this program uses is declared here: the basic types, the status
// values, the list flags, the EEPROM program-data record and six calls.
// The record keeps the library's own field order, so that the real library
// can be put in place of ours without rebuilding the program.
#ifndef FTD2XX_H
#define FTD2XX_H

#ifdef _WIN32
#include <windows.h>
#define FTD2XX_API WINAPI
#else
#include <stdint.h>
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef unsigned char UCHAR;
typedef void *PVOID;
typedef int32_t LONG;
#define FTD2XX_API
#endif

typedef PVOID FT_HANDLE;
typedef DWORD FT_STATUS;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18
};

// FT_ListDevices flags.
// FT_LIST_NUMBER_ONLY: pArg1 is a DWORD* that receives the number of devices,
//                      pArg2 is unused.
// FT_LIST_ALL | FT_OPEN_BY_LOCATION: pArg1 is an array that receives one
//                      location id (LONG) per attached device, with no limit,
//                      pArg2 a DWORD* that receives the number of devices.
#define FT_LIST_NUMBER_ONLY 0x80000000
#define FT_LIST_ALL 0x20000000
#define FT_OPEN_BY_LOCATION 4

typedef struct ft_program_data {
    DWORD Signature1;  // 0x00000000
    DWORD Signature2;  // 0xffffffff
    DWORD Version;     // 2 for this revision of the record
    WORD VendorId;
    WORD ProductId;
    char *Manufacturer;
    char *ManufacturerId;
    char *Description;
    char *SerialNumber;
    WORD MaxPower;
    WORD PnP;
    WORD SelfPowered;
    WORD RemoteWakeup;
    UCHAR Rev4;
    UCHAR IsoIn;
    UCHAR IsoOut;
    UCHAR PullDownEnable;
    UCHAR SerNumEnable;
    UCHAR USBVersionEnable;
    WORD USBVersion;
    // Dual-interface chip extension.
    UCHAR Rev5;
    UCHAR IsoInA;
    UCHAR IsoInB;
    UCHAR IsoOutA;
    UCHAR IsoOutB;
    UCHAR PullDownEnable5;
    UCHAR SerNumEnable5;
    UCHAR USBVersionEnable5;
    WORD USBVersion5;
    UCHAR AIsHighCurrent;
    UCHAR BIsHighCurrent;
    UCHAR IFAIsFifo;
    UCHAR IFAIsFifoTar;
    UCHAR IFAIsFastSer;
    UCHAR AIsVCP;
    UCHAR IFBIsFifo;
    UCHAR IFBIsFifoTar;
    UCHAR IFBIsFastSer;
    UCHAR BIsVCP;
    // Single-interface chip extension.
    UCHAR UseExtOsc;
    UCHAR HighDriveIOs;
    UCHAR EndpointSize;
    UCHAR PullDownEnableR;
    UCHAR SerNumEnableR;
    UCHAR InvertTXD;
    UCHAR InvertRXD;
    UCHAR InvertRTS;
    UCHAR InvertCTS;
    UCHAR InvertDTR;
    UCHAR InvertDSR;
    UCHAR InvertDCD;
    UCHAR InvertRI;
    UCHAR Cbus0;
    UCHAR Cbus1;
    UCHAR Cbus2;
    UCHAR Cbus3;
    UCHAR Cbus4;
    UCHAR RIsVCP;
} FT_PROGRAM_DATA, *PFT_PROGRAM_DATA;

#ifdef __cplusplus
static_assert(sizeof(void *) != 4 || sizeof(FT_PROGRAM_DATA) == 88,
              "the 32-bit record must keep the library's 88-byte layout");
static_assert(sizeof(void *) != 8 || sizeof(FT_PROGRAM_DATA) == 104,
              "the 64-bit record must keep the library's field layout");
extern "C" {
#endif

FT_STATUS FTD2XX_API FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags);
FT_STATUS FTD2XX_API FT_Open(int deviceNumber, FT_HANDLE *pHandle);
FT_STATUS FTD2XX_API FT_EE_Read(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData);
FT_STATUS FTD2XX_API FT_EraseEE(FT_HANDLE ftHandle);
FT_STATUS FTD2XX_API FT_EE_Program(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData);
FT_STATUS FTD2XX_API FT_Close(FT_HANDLE ftHandle);

#ifdef __cplusplus
}
#endif

#endif
