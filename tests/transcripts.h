// What the program prints, as the technician sees it: the texts of each
// message and the hex dumps of the record for the states a road leaves it in.
// In the dumps, PP and p stand for the bytes of the four string pointers,
// which are addresses in the process (see mask_pointers).
#ifndef TRANSCRIPTS_H
#define TRANSCRIPTS_H

#include <string>

static const std::string START =
    "\n\n ****** Mise a jour DROVANE/TALUP 4917 ******\n"
    "Recherche du coffret...\n\n";
static const std::string NO_BOX = "Aucun coffret reconnu.";
// Windows-1252: 0xe9 is e acute, 0xe0 a grave.
static const std::string SEVERAL_BOXES =
    "ERREUR : Plusieurs periph\xe9riques USB connect\xe9s ont \xe9t\xe9 d\xe9tect\xe9s.\n"
    "\n"
    "Merci de ne laisser connect\xe9 uniquement le coffret sur lequel vous voulez mettre \xe0 jour "
    "le type.\n";
static const std::string UNREADABLE = "Lecture de la memoire impossible !!\n";
static const std::string ABSENT = "La memoire n'est pas presente !!\n";
static const std::string BLANK = "La memoire est vierge. \n";
static const std::string ERASED = "La memoire n est pas vierge -> effacement ok \n";
static const std::string ERASE_FAILED = "Erreur effacement memoire!! \n";
static const std::string WRITE_VID = "Write VID(0x0403)/PID(0x6001) data ...\n";
static const std::string IDENTITY =
    "Manufacturer    : TALUP\n"
    "Manufacturer ID : DROVANE/TALUP\n"
    "Description     : 4917\n"
    "VendorId        : 0x0403\n"
    "ProductId       : 0x6001\n"
    "\n";
static const std::string UPDATED = "Mise a jour correctement effectuee.\n\n";
static const std::string READING = "Reading FT memmory only ...\n";
static const std::string ERASING = "Erase FT memmory only ...\n";
static const std::string USAGE =
    "\n"
    "Nothing done, unknown argument ...\n"
    "\n"
    "Usage : chg_4917.exe [READ|WRITE|ERASE]\n"
    "        READ  : Read only FTDI memory\n"
    "        ERASE : Erase only FTDI memory as initial state\n"
    "        WRITE : Write VendorID/ProductId to FTDI memory\n"
    "\n";
static const std::string MEMORY_IDENTITY = "Memory content\n" + IDENTITY;
// The emulated box as it leaves the factory.
static const std::string MEMORY_FACTORY =
    "Memory content\n"
    "Manufacturer    : Usine\n"
    "Manufacturer ID : USINE-01\n"
    "Description     : Coffret 4917 non configure\n"
    "VendorId        : 0x0403\n"
    "ProductId       : 0x6015\n"
    "\n";
// The same box read by a library that fills the string buffers to their
// end (32, 16 and 64 bytes) with no terminating zero.
static const std::string MEMORY_FACTORY_UNTERMINATED =
    "Memory content\n"
    "Manufacturer    : UsineUsineUsineUsineUsineUsineUs\n"
    "Manufacturer ID : USINE-01USINE-01\n"
    "Description     : Coffret 4917 non configureCoffret 4917 non configureCoffret 4917\n"
    "VendorId        : 0x0403\n"
    "ProductId       : 0x6015\n"
    "\n";

// Record states, named for the road that leaves them:
//  FACTORY                     read from a factory box
//  WRITTEN_OVER_FACTORY        identity written after reading a factory box:
//                              ids 0403/6001, MaxPower to USBVersion 0, the
//                              box's own extension fields kept
//  FACTORY_IDS_ZEROED          factory box probed, then a read-back that found
//                              the EEPROM blank: only the ids were cleared
//  WRITTEN_OVER_BLANK          identity written on a box that was blank
//  NEVER_FILLED                no read ever filled the record
//  PROGRAM_FAILED_AFTER_ERASE  write prepared over a factory box, programming
//                              failed, read-back found the EEPROM blank
// 104 bytes
static const char *const DUMP64_FACTORY =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 15 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 5a 00 01 00 00 00 01 00 00 00 00 01 01 01 00 02 ppppppppppppppppZ...............\n"
    "0x000040: 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 ......................@.........\n"
    "0x000060: 00 03 02 00 01 05 01 00                                                                         ........                        \n"
    ;
// 104 bytes
static const char *const DUMP64_WRITTEN_OVER_FACTORY =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 pppppppppppppppp................\n"
    "0x000040: 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 ......................@.........\n"
    "0x000060: 00 03 02 00 01 05 01 00                                                                         ........                        \n"
    ;
// 104 bytes
static const char *const DUMP64_FACTORY_IDS_ZEROED =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 5a 00 01 00 00 00 01 00 00 00 00 01 01 01 00 02 ppppppppppppppppZ...............\n"
    "0x000040: 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 ......................@.........\n"
    "0x000060: 00 03 02 00 01 05 01 00                                                                         ........                        \n"
    ;
// 104 bytes
static const char *const DUMP64_WRITTEN_OVER_BLANK =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 pppppppppppppppp................\n"
    "0x000040: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ................................\n"
    "0x000060: 00 00 00 00 00 00 00 00                                                                         ........                        \n"
    ;
// 104 bytes
static const char *const DUMP64_NEVER_FILLED =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 pppppppppppppppp................\n"
    "0x000040: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ................................\n"
    "0x000060: 00 00 00 00 00 00 00 00                                                                         ........                        \n"
    ;
// 104 bytes
static const char *const DUMP64_PROGRAM_FAILED_AFTER_ERASE =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 pppppppppppppppp................\n"
    "0x000040: 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 ......................@.........\n"
    "0x000060: 00 03 02 00 01 05 01 00                                                                         ........                        \n"
    ;
// 88 bytes
static const char *const DUMP32_FACTORY =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 15 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: 5a 00 01 00 00 00 01 00 00 00 00 01 01 01 00 02 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 Z...............................\n"
    "0x000040: 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 00 03 02 00 01 05 01 00                         ......@.................        \n"
    ;
// 88 bytes
static const char *const DUMP32_WRITTEN_OVER_FACTORY =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 ................................\n"
    "0x000040: 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 00 03 02 00 01 05 01 00                         ......@.................        \n"
    ;
// 88 bytes
static const char *const DUMP32_FACTORY_IDS_ZEROED =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: 5a 00 01 00 00 00 01 00 00 00 00 01 01 01 00 02 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 Z...............................\n"
    "0x000040: 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 00 03 02 00 01 05 01 00                         ......@.................        \n"
    ;
// 88 bytes
static const char *const DUMP32_WRITTEN_OVER_BLANK =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ...............`pppppppppppppppp\n"
    "0x000020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ................................\n"
    "0x000040: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00                         ........................        \n"
    ;
// 88 bytes
static const char *const DUMP32_NEVER_FILLED =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ................................\n"
    "0x000040: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00                         ........................        \n"
    ;
// 88 bytes
static const char *const DUMP32_PROGRAM_FAILED_AFTER_ERASE =
    "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP PP ................pppppppppppppppp\n"
    "0x000020: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 01 01 00 00 02 00 00 00 00 00 01 ................................\n"
    "0x000040: 00 00 00 01 00 01 40 01 01 00 00 01 00 00 00 00 00 03 02 00 01 05 01 00                         ......@.................        \n"
    ;

#endif
