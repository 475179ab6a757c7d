// chg_4917: updates the USB identity kept in the EEPROM of the USB chip of a
// 4917 box. Run with only the box to update plugged in:
//   chg_4917            updates the box by itself
//   chg_4917 READ       shows the EEPROM
//   chg_4917 ERASE      erases it
//   chg_4917 WRITE      erases it and writes the box identity
#include "changeur.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "console.h"
#include "hexdump.h"
#include "pause.h"

// The identity written into the EEPROM.
#define CHAINE_MARQUE "TALUP"
#define CHAINE_FABRICANT "DROVANE/TALUP"
#define CHAINE_DESCRITPION "4917"
#define VENDOR_ID 0x0403
#define PRODUCT_ID 0x6001

// Seconds the window stays open before the program ends.
#define PAUSE_FIN 5
#define PAUSE_ERREUR_MEMOIRE 7

FT_STATUS ftStatus;
DWORD numDevs;
FT_HANDLE ftHandle;
LONG locIdBuf[10];

FT_PROGRAM_DATA ftData;
char ManufacturerBuf[32];
char ManufacturerIdBuf[16];
char DescriptionBuf[64];
char SerialNumberBuf[16];

static_assert(sizeof CHAINE_MARQUE <= sizeof ManufacturerBuf, "identity string too long");
static_assert(sizeof CHAINE_FABRICANT <= sizeof ManufacturerIdBuf, "identity string too long");
static_assert(sizeof CHAINE_DESCRITPION <= sizeof DescriptionBuf, "identity string too long");

static void set_header(void)
{
    ftData.Signature1 = 0x00000000;
    ftData.Signature2 = 0xFFFFFFFF;
    ftData.Version = 2;
}

static void point_at_buffers(void)
{
    ftData.Manufacturer = ManufacturerBuf;
    ftData.ManufacturerId = ManufacturerIdBuf;
    ftData.Description = DescriptionBuf;
    ftData.SerialNumber = SerialNumberBuf;
}

// Reads the EEPROM into fresh buffers, shows the identity found and dumps the
// raw record. The strings are printed up to their buffer's end at most: the
// library is not trusted to end them with a zero.
void read_memory(void)
{
    memset(ManufacturerBuf, 0, sizeof ManufacturerBuf);
    memset(ManufacturerIdBuf, 0, sizeof ManufacturerIdBuf);
    memset(DescriptionBuf, 0, sizeof DescriptionBuf);
    memset(SerialNumberBuf, 0, sizeof SerialNumberBuf);
    ftData.VendorId = 0;
    ftData.ProductId = 0;
    point_at_buffers();

    ftStatus = FT_EE_Read(ftHandle, &ftData);
    if (ftStatus == FT_OK) {
        puts("Memory content");
        printf("Manufacturer    : %.*s\n", (int)sizeof ManufacturerBuf, ManufacturerBuf);
        printf("Manufacturer ID : %.*s\n", (int)sizeof ManufacturerIdBuf, ManufacturerIdBuf);
        printf("Description     : %.*s\n", (int)sizeof DescriptionBuf, DescriptionBuf);
        printf("VendorId        : 0x%04x\n", (unsigned)ftData.VendorId);
        printf("ProductId       : 0x%04x\n\n", (unsigned)ftData.ProductId);
    }
    hexdump(&ftData, sizeof ftData);
}

// 1 when the EEPROM reads as blank. The string pointers are left as they are:
// straight after the probe they are still null, so no string is copied.
int is_mem_empty(void)
{
    ftStatus = FT_EE_Read(ftHandle, &ftData);
    return ftStatus == FT_EEPROM_NOT_PROGRAMMED;
}

void erase_memory(void)
{
    ftStatus = FT_EraseEE(ftHandle);
    if (ftStatus == FT_OK)
        puts("La memoire n est pas vierge -> effacement ok ");
    else
        puts("Erreur effacement memoire!! ");
}

// Programs the box identity. The extension fields of the record are left as
// the last read put them, so the chip keeps its own settings.
void write_memory(void)
{
    set_header();
    point_at_buffers();
    memcpy(ManufacturerBuf, CHAINE_MARQUE, sizeof CHAINE_MARQUE);
    memcpy(ManufacturerIdBuf, CHAINE_FABRICANT, sizeof CHAINE_FABRICANT);
    memcpy(DescriptionBuf, CHAINE_DESCRITPION, sizeof CHAINE_DESCRITPION);
    ftData.SerialNumber = NULL;
    ftData.VendorId = VENDOR_ID;
    ftData.ProductId = PRODUCT_ID;
    ftData.MaxPower = 0;
    ftData.PnP = 0;
    ftData.SelfPowered = 0;
    ftData.RemoteWakeup = 0;
    ftData.Rev4 = 0;
    ftData.IsoIn = 0;
    ftData.IsoOut = 0;
    ftData.PullDownEnable = 0;
    ftData.SerNumEnable = 0;
    ftData.USBVersionEnable = 0;
    ftData.USBVersion = 0;

    printf("Manufacturer    : %s\n", ftData.Manufacturer);
    printf("Manufacturer ID : %s\n", ftData.ManufacturerId);
    printf("Description     : %s\n", ftData.Description);
    printf("VendorId        : 0x%04x\n", (unsigned)ftData.VendorId);
    printf("ProductId       : 0x%04x\n\n", (unsigned)ftData.ProductId);

    ftStatus = FT_EE_Program(ftHandle, &ftData);
    if (ftStatus == FT_OK)
        puts("Mise a jour correctement effectuee.\n");
}

// Counts the devices, then lists them only when there is exactly one: the
// full list writes one location id per device attached at that moment, and
// locIdBuf only has room for ten. Otherwise the count alone decides.
static void list_devices(void)
{
    ftStatus = FT_ListDevices(&numDevs, NULL, FT_LIST_NUMBER_ONLY);
    if ((ftStatus != FT_OK && ftStatus != FT_IO_ERROR) || numDevs != 1)
        return;
    ftStatus = FT_ListDevices(locIdBuf, &numDevs, FT_LIST_ALL | FT_OPEN_BY_LOCATION);
}

static void end_after_memory_error(const char *message)
{
    puts(message);
    pause_seconds(PAUSE_ERREUR_MEMOIRE);
    exit(0);
}

// First read of the EEPROM, with the string pointers still null: only its
// status matters. An unreadable or missing EEPROM ends the run here.
static void probe_memory(void)
{
    ftStatus = FT_EE_Read(ftHandle, &ftData);
    if (ftStatus == FT_EEPROM_READ_FAILED)
        end_after_memory_error("Lecture de la memoire impossible !!");
    if (ftStatus == FT_EEPROM_NOT_PRESENT)
        end_after_memory_error("La memoire n'est pas presente !!");
    if (ftStatus == FT_EEPROM_NOT_PROGRAMMED)
        puts("La memoire est vierge. ");
}

static void announce_write(void)
{
    ftData.VendorId = VENDOR_ID;
    ftData.ProductId = PRODUCT_ID;
    printf("Write VID(0x%04x)/PID(0x%04x) data ...\n", (unsigned)ftData.VendorId, (unsigned)ftData.ProductId);
}

// No argument: erase only what is not blank, then write and read back, each
// step deciding on the status the previous one left.
static void auto_update(void)
{
    if (ftStatus == FT_OK) {
        if (!is_mem_empty())
            erase_memory();
    }
    announce_write();
    if (ftStatus == FT_OK || ftStatus == FT_EEPROM_NOT_PROGRAMMED) {
        write_memory();
        read_memory();
    }
}

static void print_usage(void)
{
    puts("\nNothing done, unknown argument ...\n");
    puts("Usage : chg_4917.exe [READ|WRITE|ERASE]");
    puts("        READ  : Read only FTDI memory");
    puts("        ERASE : Erase only FTDI memory as initial state");
    puts("        WRITE : Write VendorID/ProductId to FTDI memory\n");
}

static int is_command(const char *arg, const char *upper, const char *lower)
{
    return strcmp(arg, upper) == 0 || strcmp(arg, lower) == 0;
}

// argv[1] alone decides; further arguments are ignored.
static void run_command(int argc, char *argv[])
{
    if (argc <= 1) {
        auto_update();
    } else if (is_command(argv[1], "READ", "read")) {
        puts("Reading FT memmory only ...");
        read_memory();
    } else if (is_command(argv[1], "ERASE", "erase")) {
        puts("Erase FT memmory only ...");
        erase_memory();
        read_memory();
    } else if (is_command(argv[1], "WRITE", "write")) {
        announce_write();
        erase_memory();
        write_memory();
        read_memory();
    } else {
        print_usage();
    }
}

int main(int argc, char *argv[])
{
    prepare_console();
    set_header();

    puts("\n\n ****** Mise a jour DROVANE/TALUP 4917 ******");
    puts("Recherche du coffret...\n");

    list_devices();
    if (ftStatus != FT_OK && ftStatus != FT_IO_ERROR) {
        // Nothing was opened, so there is nothing to close.
        fputs("Aucun coffret reconnu.", stdout);
    } else {
        if (numDevs == 0) {
            fputs("Aucun coffret reconnu.", stdout);
        } else if (numDevs != 1) {
            print_accented_line("ERREUR : Plusieurs periph\xe9riques USB connect\xe9s ont \xe9t\xe9 d\xe9tect\xe9s."
                                "\n\nMerci de ne laisser connect\xe9 uniquement le coffret sur lequel vous"
                                " voulez mettre \xe0 jour le type.");
        } else {
            ftStatus = FT_Open(0, &ftHandle);
            if (ftStatus != FT_OK) {
                ftHandle = NULL;
            } else {
                probe_memory();
                run_command(argc, argv);
            }
        }
        // The handle is still null where no device was opened.
        ftStatus = FT_Close(ftHandle);
    }

    fflush(stdout);
    pause_seconds(PAUSE_FIN);
    return 0;
}
