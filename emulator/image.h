// The emulated EEPROM: its content, its 256-byte image and the file that
// keeps the image between runs.
#ifndef FTEMU_IMAGE_H
#define FTEMU_IMAGE_H

#include <stdint.h>

#define IMAGE_SIZE 256

// Longest strings the EEPROM keeps, terminating zero not counted.
#define MANUFACTURER_MAX 31
#define MANUFACTURER_ID_MAX 15
#define DESCRIPTION_MAX 63
#define SERIAL_NUMBER_MAX 15

// Every field the program-data record carries, apart from its header.
struct Eeprom {
    uint16_t VendorId, ProductId;
    char Manufacturer[MANUFACTURER_MAX + 1];
    char ManufacturerId[MANUFACTURER_ID_MAX + 1];
    char Description[DESCRIPTION_MAX + 1];
    char SerialNumber[SERIAL_NUMBER_MAX + 1];
    uint16_t MaxPower, PnP, SelfPowered, RemoteWakeup;
    uint8_t Rev4, IsoIn, IsoOut, PullDownEnable, SerNumEnable, USBVersionEnable;
    uint16_t USBVersion;
    uint8_t Rev5, IsoInA, IsoInB, IsoOutA, IsoOutB, PullDownEnable5, SerNumEnable5, USBVersionEnable5;
    uint16_t USBVersion5;
    uint8_t AIsHighCurrent, BIsHighCurrent, IFAIsFifo, IFAIsFifoTar, IFAIsFastSer, AIsVCP, IFBIsFifo, IFBIsFifoTar,
        IFBIsFastSer, BIsVCP;
    uint8_t UseExtOsc, HighDriveIOs, EndpointSize, PullDownEnableR, SerNumEnableR, InvertTXD, InvertRXD, InvertRTS,
        InvertCTS, InvertDTR, InvertDSR, InvertDCD, InvertRI, Cbus0, Cbus1, Cbus2, Cbus3, Cbus4, RIsVCP;
};

enum ImageResult { IMAGE_PROGRAMMED, IMAGE_BLANK, IMAGE_FAILED };

// The content a new box comes with.
void factory_content(Eeprom *e);

// Loads the image at path (the default one when path is null), creating it
// with factory content when no file is there. On failure prints one line on
// standard error naming the file and the problem, and leaves the file as it is.
ImageResult load_image(const char *path, Eeprom *e);

// Writes a programmed image, or a blank one when e is null. On failure prints
// one line on standard error and returns false.
bool save_image(const char *path, const Eeprom *e);

// The bytes of a programmed image; the emulator's tests spoil them.
void encode_image(const Eeprom *e, uint8_t image[IMAGE_SIZE]);

#endif
