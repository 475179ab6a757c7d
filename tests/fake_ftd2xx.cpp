#include "fake_ftd2xx.h"

#include <string.h>

#include <algorithm>

FakeLibrary fake;

static const size_t BUFFER_SIZES[4] = {32, 16, 64, 16};

static void string_fields(FT_PROGRAM_DATA *d, char **fields[4])
{
    fields[0] = &d->Manufacturer;
    fields[1] = &d->ManufacturerId;
    fields[2] = &d->Description;
    fields[3] = &d->SerialNumber;
}

extern "C" {

FT_STATUS FTD2XX_API FT_ListDevices(PVOID, PVOID, DWORD)
{
    return FT_OK;
}

FT_STATUS FTD2XX_API FT_Open(int, FT_HANDLE *)
{
    return FT_OK;
}

FT_STATUS FTD2XX_API FT_EE_Read(FT_HANDLE, PFT_PROGRAM_DATA pData)
{
    char **fields[4];
    string_fields(pData, fields);
    fake.read_pointers_null = !*fields[0] && !*fields[1] && !*fields[2] && !*fields[3];
    if (fake.read_status != FT_OK)
        return fake.read_status;

    FT_PROGRAM_DATA kept = *pData;
    *pData = fake.eeprom;
    pData->Signature1 = kept.Signature1;
    pData->Signature2 = kept.Signature2;
    pData->Version = kept.Version;
    for (int i = 0; i < 4; i++) {
        char **field = fields[i];
        char *kept_pointer = i == 0 ? kept.Manufacturer : i == 1 ? kept.ManufacturerId
                           : i == 2 ? kept.Description : kept.SerialNumber;
        *field = kept_pointer;
        if (!kept_pointer)
            continue;
        const std::string &text = fake.strings[i];
        if (fake.unterminated) {
            for (size_t j = 0; j < BUFFER_SIZES[i]; j++)
                kept_pointer[j] = text.empty() ? '#' : text[j % text.size()];
        } else {
            size_t length = std::min(text.size(), BUFFER_SIZES[i] - 1);
            memcpy(kept_pointer, text.data(), length);
            kept_pointer[length] = '\0';
        }
    }
    return FT_OK;
}

FT_STATUS FTD2XX_API FT_EraseEE(FT_HANDLE)
{
    return fake.erase_status;
}

FT_STATUS FTD2XX_API FT_EE_Program(FT_HANDLE, PFT_PROGRAM_DATA pData)
{
    fake.programmed = *pData;
    char **fields[4];
    string_fields(pData, fields);
    for (int i = 0; i < 4; i++)
        fake.programmed_strings[i] = *fields[i] ? std::string(*fields[i]) : "(null)";
    return fake.program_status;
}

FT_STATUS FTD2XX_API FT_Close(FT_HANDLE)
{
    return FT_OK;
}

}
