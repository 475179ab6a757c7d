#include "image.h"

#include "fields.h"

#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// Image layout:
//   0   the numeric fields, in record order, each 1 or 2 bytes (little-endian):
//       59 bytes in all
//   59  4 strings, each a length byte then its characters:
//       Manufacturer (room 31), ManufacturerId (15), Description (63),
//       SerialNumber (15)
//   187 unused, zero
//   254 CRC-16 (polynomial 0x1021, start 0xffff) of bytes 0 to 253
// A blank EEPROM reads as 0xff everywhere.
#define CHECKSUM_AT (IMAGE_SIZE - 2)

#define DEFAULT_IMAGE_NAME "box4917.eeprom"

struct StringField {
    size_t offset;
    size_t room;
};

static const StringField STRINGS[] = {
    {offsetof(Eeprom, Manufacturer), MANUFACTURER_MAX},
    {offsetof(Eeprom, ManufacturerId), MANUFACTURER_ID_MAX},
    {offsetof(Eeprom, Description), DESCRIPTION_MAX},
    {offsetof(Eeprom, SerialNumber), SERIAL_NUMBER_MAX},
};

static uint16_t crc16(const uint8_t *data, size_t size)
{
    uint16_t crc = 0xffff;
    for (size_t i = 0; i < size; i++) {
        crc ^= (uint16_t)(data[i] << 8);
        for (int bit = 0; bit < 8; bit++)
            crc = (uint16_t)(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

void factory_content(Eeprom *e)
{
    memset(e, 0, sizeof *e);
    e->VendorId = 0x0403;
    e->ProductId = 0x6015;
    strcpy(e->Manufacturer, "Usine");
    strcpy(e->ManufacturerId, "USINE-01");
    strcpy(e->Description, "Coffret 4917 non configure");
    strcpy(e->SerialNumber, "U4917-0001");
    e->MaxPower = 90;
    e->PnP = 1;
    e->RemoteWakeup = 1;
    e->PullDownEnable = 1;
    e->SerNumEnable = 1;
    e->USBVersionEnable = 1;
    e->USBVersion = 0x0200;
    e->Rev5 = 1;
    e->PullDownEnable5 = 1;
    e->SerNumEnable5 = 1;
    e->USBVersion5 = 0x0200;
    e->AIsVCP = 1;
    e->BIsVCP = 1;
    e->HighDriveIOs = 1;
    e->EndpointSize = 64;
    e->PullDownEnableR = 1;
    e->SerNumEnableR = 1;
    e->InvertRTS = 1;
    e->Cbus0 = 3;
    e->Cbus1 = 2;
    e->Cbus3 = 1;
    e->Cbus4 = 5;
    e->RIsVCP = 1;
}

void encode_image(const Eeprom *e, uint8_t image[IMAGE_SIZE])
{
    memset(image, 0, IMAGE_SIZE);
    const uint8_t *from = reinterpret_cast<const uint8_t *>(e);
    size_t at = 0;
    for (const NumericField &f : NUMERIC_FIELDS) {
        uint16_t value = from[f.eeprom];
        if (f.size == 2)
            memcpy(&value, from + f.eeprom, sizeof value);
        for (size_t k = 0; k < f.size; k++)
            image[at++] = (uint8_t)(value >> (8 * k));
    }
    for (const StringField &f : STRINGS) {
        const char *text = reinterpret_cast<const char *>(e) + f.offset;
        size_t length = strnlen(text, f.room);
        image[at++] = (uint8_t)length;
        memcpy(image + at, text, length);
        at += f.room;
    }
    uint16_t crc = crc16(image, CHECKSUM_AT);
    image[CHECKSUM_AT] = (uint8_t)(crc & 0xff);
    image[CHECKSUM_AT + 1] = (uint8_t)(crc >> 8);
}

static ImageResult decode_image(const uint8_t image[IMAGE_SIZE], Eeprom *e)
{
    size_t blank = 0;
    while (blank < IMAGE_SIZE && image[blank] == 0xff)
        blank++;
    if (blank == IMAGE_SIZE)
        return IMAGE_BLANK;
    if (crc16(image, CHECKSUM_AT) != (image[CHECKSUM_AT] | image[CHECKSUM_AT + 1] << 8))
        return IMAGE_FAILED;

    memset(e, 0, sizeof *e);
    uint8_t *to = reinterpret_cast<uint8_t *>(e);
    size_t at = 0;
    for (const NumericField &f : NUMERIC_FIELDS) {
        if (f.size == 1) {
            to[f.eeprom] = image[at];
        } else {
            uint16_t value = (uint16_t)(image[at] | image[at + 1] << 8);
            memcpy(to + f.eeprom, &value, sizeof value);
        }
        at += f.size;
    }
    for (const StringField &f : STRINGS) {
        size_t length = image[at++];
        if (length > f.room)
            return IMAGE_FAILED;
        memcpy(reinterpret_cast<char *>(e) + f.offset, image + at, length);
        at += f.room;
    }
    return IMAGE_PROGRAMMED;
}

// The default image lives beside the library itself, in the build folder.
static const char *default_image(void)
{
    static char path[4096];
    if (path[0])
        return path;
#ifdef _WIN32
    HMODULE self = NULL;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&default_image), &self);
    DWORD n = GetModuleFileNameA(self, path, sizeof path);
    const char *library = n > 0 && n < sizeof path ? path : "";
#else
    Dl_info info;
    const char *library =
        dladdr(reinterpret_cast<const void *>(&default_image), &info) && info.dli_fname ? info.dli_fname : "";
#endif
    const char *slash = strrchr(library, '/');
    const char *backslash = strrchr(library, '\\');
    if (backslash > slash)
        slash = backslash;
    size_t folder = slash ? (size_t)(slash - library + 1) : 0;
    if (folder + sizeof DEFAULT_IMAGE_NAME > sizeof path)
        folder = 0;
    char found[sizeof path];
    memcpy(found, library, folder);
    memcpy(found + folder, DEFAULT_IMAGE_NAME, sizeof DEFAULT_IMAGE_NAME);
    memcpy(path, found, sizeof path);
    return path;
}

static const char *image_path(const char *path)
{
    return path ? path : default_image();
}

static ImageResult fail(const char *path, const char *problem)
{
    fprintf(stderr, "ftemu: EEPROM image %s: %s\n", path, problem);
    return IMAGE_FAILED;
}

ImageResult load_image(const char *path, Eeprom *e)
{
    path = image_path(path);
    struct stat info;
    if (stat(path, &info) != 0) {
        if (errno != ENOENT)
            return fail(path, strerror(errno));
        factory_content(e);
        return save_image(path, e) ? IMAGE_PROGRAMMED : IMAGE_FAILED;
    }
    if (S_ISDIR(info.st_mode))
        return fail(path, "is a folder, not an image file");
    if (!S_ISREG(info.st_mode))
        return fail(path, "is not a regular file");
    if (info.st_size != IMAGE_SIZE) {
        char problem[96];
        snprintf(problem, sizeof problem, "is %lld bytes long, an image is %d: %s", (long long)info.st_size, IMAGE_SIZE,
                 info.st_size == 0           ? "empty"
                 : info.st_size < IMAGE_SIZE ? "truncated"
                                             : "too long");
        return fail(path, problem);
    }

    uint8_t image[IMAGE_SIZE];
    FILE *file = fopen(path, "rb");
    if (!file)
        return fail(path, strerror(errno));
    size_t got = fread(image, 1, sizeof image, file);
    fclose(file);
    if (got != sizeof image)
        return fail(path, "could not be read whole");
    ImageResult result = decode_image(image, e);
    if (result == IMAGE_FAILED)
        return fail(path, "checksum or string lengths are wrong: the image is corrupt");
    return result;
}

bool save_image(const char *path, const Eeprom *e)
{
    path = image_path(path);
    uint8_t image[IMAGE_SIZE];
    if (e)
        encode_image(e, image);
    else
        memset(image, 0xff, sizeof image);

    // Overwrite in place when the file exists, so that a file that cannot be
    // written is never truncated first.
    FILE *file = fopen(path, "r+b");
    if (!file && errno == ENOENT)
        file = fopen(path, "wb");
    if (!file) {
        fail(path, strerror(errno));
        return false;
    }
    size_t put = fwrite(image, 1, sizeof image, file);
    bool flushed = fflush(file) == 0;
    bool closed = fclose(file) == 0;
    if (put != sizeof image || !flushed || !closed) {
        fail(path, "could not be written whole");
        return false;
    }
    return true;
}
