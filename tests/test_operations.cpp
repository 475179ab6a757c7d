// The EEPROM operations, driven directly against a scripted library: what
// they print, which status they leave, and the exact record they hand over.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "../src/changeur.h"
#include "fake_ftd2xx.h"
#include "transcripts.h"

class Operations : public testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeLibrary();
        memset(&ftData, 0, sizeof ftData);
        ftData.Signature2 = 0xFFFFFFFF;
        ftData.Version = 2;
        memset(ManufacturerBuf, 0, sizeof ManufacturerBuf);
        memset(ManufacturerIdBuf, 0, sizeof ManufacturerIdBuf);
        memset(DescriptionBuf, 0, sizeof DescriptionBuf);
        memset(SerialNumberBuf, 0, sizeof SerialNumberBuf);
        ftStatus = FT_OK;
    }

    // A box that reads back with its own identity and extension settings.
    static void box_programmed_elsewhere()
    {
        fake.strings[0] = "Autre";
        fake.strings[1] = "AUTRE-ID";
        fake.strings[2] = "Autre coffret";
        fake.strings[3] = "SN42";
        fake.eeprom.VendorId = 0x1234;
        fake.eeprom.ProductId = 0xabcd;
        unsigned char *first = &fake.eeprom.Rev5;
        unsigned char *end = &fake.eeprom.RIsVCP + 1;
        for (unsigned char *b = first; b < end; b++)
            *b = (unsigned char)(0x40 + (b - first));
        fake.eeprom.MaxPower = 500;
        fake.eeprom.PnP = 1;
        fake.eeprom.SelfPowered = 1;
        fake.eeprom.RemoteWakeup = 1;
        fake.eeprom.Rev4 = fake.eeprom.IsoIn = fake.eeprom.IsoOut = 1;
        fake.eeprom.PullDownEnable = fake.eeprom.SerNumEnable = fake.eeprom.USBVersionEnable = 1;
        fake.eeprom.USBVersion = 0x0110;
    }

    template <typename F> static std::string output_of(F operation)
    {
        testing::internal::CaptureStdout();
        operation();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    static std::string hex_le(const void *pointer)
    {
        uintptr_t value = (uintptr_t)pointer;
        std::string out;
        char piece[4];
        for (size_t i = 0; i < sizeof pointer; i++, value >>= 8) {
            snprintf(piece, sizeof piece, "%02x ", (unsigned)(value & 0xff));
            out += piece;
        }
        return out;
    }

    static size_t lines_in(const std::string &text)
    {
        size_t n = 0;
        for (char c : text)
            n += c == '\n';
        return n;
    }
};

static const size_t DUMP_LINES = (sizeof(FT_PROGRAM_DATA) + 31) / 32;
static const size_t DUMP_LINE = 139;  // 138 characters and the line end

TEST_F(Operations, ReadBackShowsTheIdentityReadIncludingItsDescription)
{
    box_programmed_elsewhere();
    std::string out = output_of(read_memory);
    EXPECT_EQ(out.substr(0, out.size() - DUMP_LINES * DUMP_LINE),
              "Memory content\n"
              "Manufacturer    : Autre\n"
              "Manufacturer ID : AUTRE-ID\n"
              "Description     : Autre coffret\n"
              "VendorId        : 0x1234\n"
              "ProductId       : 0xabcd\n"
              "\n");
    EXPECT_EQ(ftStatus, (FT_STATUS)FT_OK);
    EXPECT_FALSE(fake.read_pointers_null);
    EXPECT_STREQ(SerialNumberBuf, "SN42");
}

TEST_F(Operations, ReadBackDumpsTheWholeRecordWithItsPointers)
{
    box_programmed_elsewhere();
    fake.eeprom.VendorId = 0x0403;
    fake.eeprom.ProductId = 0x6001;
    std::string out = output_of(read_memory);
    std::string dump = out.substr(out.size() - DUMP_LINES * DUMP_LINE);
    EXPECT_EQ(lines_in(out), 7 + DUMP_LINES);
    std::string fields;  // the byte fields of every dump line, end to end
    for (size_t line = 0; line < DUMP_LINES; line++)
        fields += dump.substr(line * DUMP_LINE + 10, 32 * 3);
    EXPECT_EQ(fields.substr(0, 48), "00 00 00 00 ff ff ff ff 02 00 00 00 03 04 01 60 ");
    EXPECT_EQ(fields.substr(48, 4 * 3 * sizeof(void *)),
              hex_le(ManufacturerBuf) + hex_le(ManufacturerIdBuf) + hex_le(DescriptionBuf) +
                  hex_le(SerialNumberBuf));
}

TEST_F(Operations, ReadBackOfABlankOrUnreadableEepromPrintsOnlyTheDump)
{
    for (FT_STATUS status : {FT_EEPROM_NOT_PROGRAMMED, FT_EEPROM_READ_FAILED, FT_OTHER_ERROR}) {
        SetUp();
        box_programmed_elsewhere();
        ftData.VendorId = 0x0403;
        ftData.ProductId = 0x6001;
        memset(DescriptionBuf, 'x', sizeof DescriptionBuf);
        fake.read_status = status;
        std::string out = output_of(read_memory);
        EXPECT_EQ(out.size(), DUMP_LINES * DUMP_LINE) << status;
        EXPECT_EQ(out.substr(0, 58), "0x000000: 00 00 00 00 ff ff ff ff 02 00 00 00 00 00 00 00 ")
            << status;
        EXPECT_EQ(ftStatus, status);
        EXPECT_EQ(DescriptionBuf[0], '\0') << "buffers are cleared before the read";
    }
}

TEST_F(Operations, ReadBackNeverReadsPastAnUnterminatedBuffer)
{
    box_programmed_elsewhere();
    fake.unterminated = true;
    std::string out = output_of(read_memory);
    EXPECT_EQ(out.substr(0, out.size() - DUMP_LINES * DUMP_LINE),
              "Memory content\n"
              "Manufacturer    : AutreAutreAutreAutreAutreAutreAu\n"
              "Manufacturer ID : AUTRE-IDAUTRE-ID\n"
              "Description     : Autre coffretAutre coffretAutre coffretAutre coffretAutre coffre\n"
              "VendorId        : 0x1234\n"
              "ProductId       : 0xabcd\n"
              "\n");
}

TEST_F(Operations, WriteHandsOverTheIdentityAndKeepsTheExtensionFieldsRead)
{
    box_programmed_elsewhere();
    memset(ManufacturerBuf, 'Z', sizeof ManufacturerBuf);
    output_of([&] { is_mem_empty(); });  // fills the record as a probe does
    FT_PROGRAM_DATA read = ftData;

    std::string out = output_of(write_memory);

    EXPECT_EQ(out, IDENTITY + "Mise a jour correctement effectuee.\n\n");
    const FT_PROGRAM_DATA &p = fake.programmed;
    EXPECT_EQ(p.Signature1, 0x00000000u);
    EXPECT_EQ(p.Signature2, 0xFFFFFFFFu);
    EXPECT_EQ(p.Version, 2u);
    EXPECT_EQ(p.VendorId, 0x0403);
    EXPECT_EQ(p.ProductId, 0x6001);
    EXPECT_EQ(p.Manufacturer, ManufacturerBuf);
    EXPECT_EQ(p.ManufacturerId, ManufacturerIdBuf);
    EXPECT_EQ(p.Description, DescriptionBuf);
    EXPECT_EQ(p.SerialNumber, nullptr);
    EXPECT_EQ(fake.programmed_strings[0], "TALUP");
    EXPECT_EQ(fake.programmed_strings[1], "DROVANE/TALUP");
    EXPECT_EQ(fake.programmed_strings[2], "4917");
    EXPECT_EQ(ManufacturerBuf[6], 'Z') << "only the string and its zero are copied";
    EXPECT_EQ(p.MaxPower + p.PnP + p.SelfPowered + p.RemoteWakeup + p.USBVersion, 0);
    EXPECT_EQ(p.Rev4 + p.IsoIn + p.IsoOut + p.PullDownEnable + p.SerNumEnable + p.USBVersionEnable, 0);
    EXPECT_EQ(memcmp(&p.Rev5, &read.Rev5, (size_t)(&p.RIsVCP + 1 - &p.Rev5)), 0)
        << "the extension fields go back as the last read left them";
    EXPECT_EQ(p.Rev5, 0x40);
    EXPECT_EQ(p.RIsVCP, read.RIsVCP);
    EXPECT_NE(p.RIsVCP, 0);
    EXPECT_EQ(ftStatus, (FT_STATUS)FT_OK);
}

TEST_F(Operations, FailedWriteShowsTheIdentityButNoSuccessLine)
{
    fake.program_status = FT_EEPROM_WRITE_FAILED;
    std::string out = output_of(write_memory);
    EXPECT_EQ(out, IDENTITY);
    EXPECT_EQ(ftStatus, (FT_STATUS)FT_EEPROM_WRITE_FAILED);
}

TEST_F(Operations, EraseSaysWhetherItWorkedAndKeepsItsStatus)
{
    struct {
        FT_STATUS status;
        const char *line;
    } cases[] = {{FT_OK, "La memoire n est pas vierge -> effacement ok \n"},
                 {FT_EEPROM_ERASE_FAILED, "Erreur effacement memoire!! \n"},
                 {FT_EEPROM_NOT_PROGRAMMED, "Erreur effacement memoire!! \n"},
                 {0xFFFFFFFF, "Erreur effacement memoire!! \n"}};
    for (const auto &c : cases) {
        fake.erase_status = c.status;
        EXPECT_EQ(output_of(erase_memory), c.line);
        EXPECT_EQ(ftStatus, c.status);
    }
}

TEST_F(Operations, BlankTestIsTrueOnlyForABlankEepromAndPassesNoBuffers)
{
    struct {
        FT_STATUS status;
        int blank;
    } cases[] = {{FT_EEPROM_NOT_PROGRAMMED, 1}, {FT_OK, 0}, {FT_EEPROM_READ_FAILED, 0}, {FT_IO_ERROR, 0}};
    for (const auto &c : cases) {
        fake.read_status = c.status;
        int blank = -1;
        EXPECT_EQ(output_of([&] { blank = is_mem_empty(); }), "");
        EXPECT_EQ(blank, c.blank);
        EXPECT_EQ(ftStatus, c.status);
        EXPECT_TRUE(fake.read_pointers_null);
    }
}
