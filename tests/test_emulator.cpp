// The emulated device library on its own: its image file, the record it
// fills and keeps, and what it does with broken settings or images.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>

#include "../emulator/image.h"
#include "../src/FTD2XX.h"
#include "run_program.h"

class Emulator : public testing::Test {
protected:
    Scratch scratch;
    FT_HANDLE handle = nullptr;
    FT_PROGRAM_DATA data = {};
    char manufacturer[32 + 8], manufacturer_id[16 + 8], description[64 + 8], serial[16 + 8];

    void SetUp() override
    {
        for (const char *v : {"FTEMU_DEVICES", "FTEMU_EEPROM", "FTEMU_STRINGS", "FTEMU_FAIL", "FTEMU_TRACE"})
            unsetenv(v);
        setenv("FTEMU_IMAGE", scratch.image().c_str(), 1);
        data.Signature2 = 0xFFFFFFFF;
        data.Version = 2;
        memset(manufacturer, '@', sizeof manufacturer);
        memset(manufacturer_id, '@', sizeof manufacturer_id);
        memset(description, '@', sizeof description);
        memset(serial, '@', sizeof serial);
    }

    void TearDown() override
    {
        if (handle)
            FT_Close(handle);
        unsetenv("FTEMU_IMAGE");
    }

    void open()
    {
        ASSERT_EQ(FT_Open(0, &handle), (FT_STATUS)FT_OK);
    }

    void aim_at_buffers()
    {
        data.Manufacturer = manufacturer;
        data.ManufacturerId = manufacturer_id;
        data.Description = description;
        data.SerialNumber = serial;
    }

    void write_image(const std::string &bytes)
    {
        std::ofstream(scratch.image(), std::ios::binary) << bytes;
    }
};

TEST_F(Emulator, ANewBoxReadsWithItsFactoryIdentity)
{
    open();
    aim_at_buffers();
    ASSERT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_OK);
    Eeprom factory;
    factory_content(&factory);
    EXPECT_STREQ(manufacturer, factory.Manufacturer);
    EXPECT_STREQ(description, factory.Description);
    EXPECT_EQ(data.VendorId, factory.VendorId);
    EXPECT_EQ(data.ProductId, factory.ProductId);
    EXPECT_EQ(data.Cbus4, factory.Cbus4);
    EXPECT_EQ(read_file(scratch.image()).size(), (size_t)IMAGE_SIZE) << "the image file is created";
}

TEST_F(Emulator, ProgramThenReadGivesBackEveryField)
{
    open();
    aim_at_buffers();
    strcpy(manufacturer, "M");
    strcpy(manufacturer_id, "MI");
    strcpy(description, "A description of 63 characters, the longest the EEPROM keeps..");
    strcpy(serial, "S123");
    data.VendorId = 0x1111;
    data.ProductId = 0x2222;
    data.MaxPower = 0x3333;
    data.PnP = 0x4444;
    data.SelfPowered = 0x5555;
    data.RemoteWakeup = 0x6666;
    data.USBVersion = 0x7777;
    data.USBVersion5 = 0x8888;
    unsigned char *bytes[] = {&data.Rev4, &data.IsoIn, &data.IsoOut, &data.PullDownEnable,
                              &data.SerNumEnable, &data.USBVersionEnable};
    for (size_t i = 0; i < 6; i++)
        *bytes[i] = (unsigned char)(0x10 + i);
    for (unsigned char *b = &data.Rev5; b <= &data.USBVersionEnable5; b++)
        *b = (unsigned char)(0x20 + (b - &data.Rev5));
    for (unsigned char *b = &data.AIsHighCurrent; b <= &data.RIsVCP; b++)
        *b = (unsigned char)(0x30 + (b - &data.AIsHighCurrent));
    ASSERT_EQ(FT_EE_Program(handle, &data), (FT_STATUS)FT_OK);
    FT_PROGRAM_DATA written = data;

    memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 2;
    aim_at_buffers();
    memset(description, 0, sizeof description);
    ASSERT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_OK);
    EXPECT_STREQ(manufacturer, "M");
    EXPECT_STREQ(manufacturer_id, "MI");
    EXPECT_STREQ(description, "A description of 63 characters, the longest the EEPROM keeps..");
    EXPECT_STREQ(serial, "S123");
    written.Manufacturer = data.Manufacturer;
    written.ManufacturerId = data.ManufacturerId;
    written.Description = data.Description;
    written.SerialNumber = data.SerialNumber;
    EXPECT_EQ(memcmp(&written, &data, sizeof data), 0);
}

TEST_F(Emulator, AnEraseLeavesABlankImage)
{
    open();
    ASSERT_EQ(FT_EraseEE(handle), (FT_STATUS)FT_OK);
    EXPECT_EQ(read_file(scratch.image()), std::string(IMAGE_SIZE, '\xff'));
    data.VendorId = 0x4242;
    EXPECT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_EEPROM_NOT_PROGRAMMED);
    EXPECT_EQ(data.VendorId, 0x4242) << "a blank read fills nothing";
}

TEST_F(Emulator, AReadCopiesOnlyIntoTheStringsItIsGivenAndWithinTheirBuffers)
{
    open();
    data.Description = description;  // the three others stay null
    ASSERT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_OK);
    EXPECT_STREQ(description, "Coffret 4917 non configure");
    EXPECT_EQ(data.ProductId, 0x6015);

    // Unterminated strings fill each buffer exactly to its end.
    setenv("FTEMU_STRINGS", "unterminated", 1);
    aim_at_buffers();
    ASSERT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_OK);
    EXPECT_EQ(std::string(manufacturer, 33), std::string("UsineUsineUsineUsineUsineUsineUs@"));
    EXPECT_EQ(std::string(manufacturer_id, 17), std::string("USINE-01USINE-01@"));
    EXPECT_EQ(description[64], '@');
    EXPECT_EQ(serial[16], '@');
    unsetenv("FTEMU_STRINGS");
}

TEST_F(Emulator, ACorruptImageIsReportedAndNeverRewritten)
{
    Eeprom factory;
    factory_content(&factory);
    uint8_t image[IMAGE_SIZE];
    encode_image(&factory, image);
    image[3] ^= 0x01;
    std::string corrupt((const char *)image, sizeof image);

    struct {
        const char *name;
        std::string bytes;
    } cases[] = {{"bad checksum", corrupt},
                 {"truncated", corrupt.substr(0, 100)},
                 {"empty", ""},
                 {"too long", corrupt + "x"}};
    for (const auto &c : cases) {
        write_image(c.bytes);
        open();
        testing::internal::CaptureStderr();
        EXPECT_EQ(FT_EE_Read(handle, &data), (FT_STATUS)FT_EEPROM_READ_FAILED) << c.name;
        EXPECT_EQ(FT_EraseEE(handle), (FT_STATUS)FT_EEPROM_ERASE_FAILED) << c.name;
        EXPECT_EQ(FT_EE_Program(handle, &data), (FT_STATUS)FT_EEPROM_WRITE_FAILED) << c.name;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("ftemu: EEPROM image " + scratch.image() + ": "), std::string::npos) << err;
        EXPECT_EQ(read_file(scratch.image()), c.bytes) << c.name;
        FT_Close(handle);
        handle = nullptr;
    }
}

TEST_F(Emulator, BrokenSettingsFailEveryCallWithOneLineEach)
{
    struct {
        const char *variable, *value, *message;
    } cases[] = {
        {"FTEMU_DEVICES", "two", "ftemu: FTEMU_DEVICES='two' cannot be used: expected a number from 0 to 4294967295\n"},
        {"FTEMU_DEVICES", "4294967296", "ftemu: FTEMU_DEVICES='4294967296' cannot be used: expected a number from 0 to 4294967295\n"},
        {"FTEMU_EEPROM", "missing", "ftemu: FTEMU_EEPROM='missing' cannot be used: expected present, absent or unreadable\n"},
        {"FTEMU_STRINGS", "none", "ftemu: FTEMU_STRINGS='none' cannot be used: expected terminated or unterminated\n"},
        {"FTEMU_FAIL", "FT_Open=x", nullptr},
        {"FTEMU_FAIL", "FT_Nothing=3", nullptr},
        {"FTEMU_FAIL", "FT_Open:0=3", nullptr},
    };
    for (const auto &c : cases) {
        setenv(c.variable, c.value, 1);
        DWORD count = 77;
        testing::internal::CaptureStderr();
        EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), (FT_STATUS)FT_OTHER_ERROR);
        EXPECT_EQ(FT_Open(0, &handle), (FT_STATUS)FT_OTHER_ERROR);
        EXPECT_EQ(FT_Close(nullptr), (FT_STATUS)FT_OTHER_ERROR);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(count, 77u);
        EXPECT_EQ(handle, nullptr);
        if (c.message)
            EXPECT_EQ(err, c.message);
        else
            EXPECT_EQ(err.rfind("ftemu: FTEMU_FAIL='", 0), 0u) << err;
        unsetenv(c.variable);
    }
}

TEST_F(Emulator, ListsCountsAndOpensAsAskedAndClosesOnlyRealHandles)
{
    setenv("FTEMU_DEVICES", "3", 1);
    DWORD count = 0;
    LONG ids[3] = {};
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), (FT_STATUS)FT_OK);
    EXPECT_EQ(count, 3u);
    count = 0;
    EXPECT_EQ(FT_ListDevices(ids, &count, FT_LIST_ALL | FT_OPEN_BY_LOCATION), (FT_STATUS)FT_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_NE(ids[2], 0);
    EXPECT_EQ(FT_Open(3, &handle), (FT_STATUS)FT_DEVICE_NOT_FOUND);
    open();
    FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), (FT_STATUS)FT_DEVICE_NOT_OPENED) << "already in use";
    EXPECT_EQ(FT_Close(nullptr), (FT_STATUS)FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Close(handle), (FT_STATUS)FT_OK);
    EXPECT_EQ(FT_Close(handle), (FT_STATUS)FT_INVALID_HANDLE);
    EXPECT_EQ(FT_EraseEE(handle), (FT_STATUS)FT_INVALID_HANDLE);
    handle = nullptr;
    unsetenv("FTEMU_DEVICES");
}

TEST_F(Emulator, InjectedFaultsReturnTheirStatusOnTheCallNamed)
{
    open();
    setenv("FTEMU_FAIL", "FT_EraseEE=0x0d,FT_EE_Program=4294967295", 1);
    EXPECT_EQ(FT_EraseEE(handle), (FT_STATUS)FT_EEPROM_ERASE_FAILED);
    EXPECT_EQ(FT_EE_Program(handle, &data), (FT_STATUS)0xFFFFFFFF);
    EXPECT_NE(read_file(scratch.image()), std::string(IMAGE_SIZE, '\xff'))
        << "a call that fails by injection does nothing";
    setenv("FTEMU_FAIL", "FT_EraseEE=0", 1);
    EXPECT_EQ(FT_EraseEE(handle), (FT_STATUS)FT_OK) << "an injected 0 is no fault";
    unsetenv("FTEMU_FAIL");
}

TEST(EmulatorLibrary, ExportsTheSixCallsAndNothingElse)
{
    std::string command = std::string("nm -D --defined-only '") + EMULATOR_LIBRARY + "' | awk '{print $3}' | sort";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string names;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        names += buffer;
    pclose(pipe);
    EXPECT_EQ(names, "FT_Close\nFT_EE_Program\nFT_EE_Read\nFT_EraseEE\nFT_ListDevices\nFT_Open\n");
}
