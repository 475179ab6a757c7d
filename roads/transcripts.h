// What the program prints, and the record it dumps in the states a road leaves it in.
#ifndef TRANSCRIPTS_H
#define TRANSCRIPTS_H

#include <string>

static const std::string START = "\n\n ****** Mise a jour DROVANE/TALUP 4917 ******\nRecherche du coffret...\n\n";
static const std::string NO_BOX = "Aucun coffret reconnu.";
// Windows-1252: 0xe9 is e acute, 0xe0 a grave.
static const std::string SEVERAL_BOXES =
    "ERREUR : Plusieurs periph\xe9riques USB connect\xe9s ont \xe9t\xe9 d\xe9tect\xe9s.\n\n"
    "Merci de ne laisser connect\xe9 uniquement le coffret sur lequel vous voulez mettre \xe0 jour "
    "le type.\n";
static const std::string UNREADABLE = "Lecture de la memoire impossible !!\n";
static const std::string ABSENT = "La memoire n'est pas presente !!\n";
static const std::string BLANK = "La memoire est vierge. \n";
static const std::string ERASED = "La memoire n est pas vierge -> effacement ok \n";
static const std::string ERASE_FAILED = "Erreur effacement memoire!! \n";
static const std::string WRITE_VID = "Write VID(0x0403)/PID(0x6001) data ...\n";
// The identity block of the write and of the read-back.
static std::string identity(const std::string &manufacturer, const std::string &id, const std::string &description,
                            const std::string &product)
{
    return "Manufacturer    : " + manufacturer + "\nManufacturer ID : " + id + "\nDescription     : " + description +
           "\nVendorId        : 0x0403\nProductId       : 0x" + product + "\n\n";
}
static const std::string IDENTITY = identity("TALUP", "DROVANE/TALUP", "4917", "6001");
static const std::string UPDATED = "Mise a jour correctement effectuee.\n\n";
static const std::string READING = "Reading FT memmory only ...\n";
static const std::string ERASING = "Erase FT memmory only ...\n";
static const std::string USAGE = "\nNothing done, unknown argument ...\n\n"
                                 "Usage : chg_4917.exe [READ|WRITE|ERASE]\n"
                                 "        READ  : Read only FTDI memory\n"
                                 "        ERASE : Erase only FTDI memory as initial state\n"
                                 "        WRITE : Write VendorID/ProductId to FTDI memory\n\n";
static const std::string MEMORY_IDENTITY = "Memory content\n" + IDENTITY;
// The emulated box as it leaves the factory, read by a library that ends its
// strings and by one that fills the buffers (32, 16 and 64 bytes) with no zero.
static const std::string MEMORY_FACTORY =
    "Memory content\n" + identity("Usine", "USINE-01", "Coffret 4917 non configure", "6015");
static const std::string MEMORY_UNTERMINATED =
    "Memory content\n" + identity("UsineUsineUsineUsineUsineUsineUs", "USINE-01USINE-01",
                                  "Coffret 4917 non configureCoffret 4917 non configureCoffret 4917", "6015");

// The record dumped at the end of a road, in hexadecimal, from VendorId on but for the string
// pointers: the ids, MaxPower to USBVersion (16 bytes), the extensions (40 bytes).
static const std::string HEADER = "00 00 00 00 ff ff ff ff 02 00 00 00 ";  // Signature1, Signature2, Version
static std::string zeros(int bytes)
{
    return bytes ? "00 " + zeros(bytes - 1) : "";
}
static const std::string FACTORY_GROUP = "5a 00 01 00 00 00 01 00 00 00 00 01 01 01 00 02 ",
                         FACTORY_EXTENSION = "01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 00 00 00 01 "
                                             "00 01 40 01 01 00 00 01 00 00 00 00 00 03 02 00 01 05 01 00";
static const std::string NO_DUMP = "", FACTORY = "03 04 15 60 " + FACTORY_GROUP + FACTORY_EXTENSION,
                         OVER_FACTORY = "03 04 01 60 " + zeros(16) + FACTORY_EXTENSION,  // written over a factory box
    OVER_BLANK = "03 04 01 60 " + zeros(56),
                         IDS_ZEROED =
                             zeros(4) + FACTORY_GROUP + FACTORY_EXTENSION,  // a factory box, then a read failed
    NEVER_FILLED = zeros(60),
                         NOT_READ_BACK =
                             zeros(20) + FACTORY_EXTENSION;  // written over a factory box, then a read failed

#endif
