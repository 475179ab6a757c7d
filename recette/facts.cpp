// What the kit learns of its files and of the PC without running anything.
#include <stdio.h>
#include <windows.h>
#include <wincrypt.h>

#include "recette.h"

std::wstring own_path(void)
{
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(NULL, &path[0], (DWORD)path.size());
    path.resize(length);
    return path;
}

std::wstring own_folder(void)
{
    std::wstring path = own_path();
    return path.substr(0, path.find_last_of(L"\\/"));
}

static bool is_file(const std::wstring &path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static std::wstring in_folder(std::wstring folder, const wchar_t *name)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder + name;
}

// Windows looks for a DLL that a program imports, in its default safe order: the program's folder,
// the system folder, the 16-bit system folder, the Windows folder, the current folder (the
// program's, as the kit starts it there), then each folder of PATH.
std::wstring library_for(const std::wstring &folder)
{
    wchar_t system[MAX_PATH], windows[MAX_PATH], wow64[MAX_PATH];
    std::vector<std::wstring> folders = {folder};
    UINT system_length = GetSystemDirectoryW(system, MAX_PATH);
    if (system_length > 0 && system_length < MAX_PATH)
        folders.push_back(system);
    UINT windows_length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (windows_length > 0 && windows_length < MAX_PATH)
        folders.insert(folders.end(), {in_folder(windows, L"System"), windows});
    std::wstring path(32768, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", &path[0], (DWORD)path.size()));
    for (size_t at = 0; at <= path.size();) {
        size_t end = std::min(path.find(L';', at), path.size());
        std::wstring entry = path.substr(at, end - at);
        if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"')
            entry = entry.substr(1, entry.size() - 2);
        if (!entry.empty())
            folders.push_back(entry);
        at = end + 1;
    }
    for (const std::wstring &where : folders) {
        std::wstring dll = in_folder(where, L"FTD2XX.dll");
        if (!is_file(dll))
            continue;
        // A 32-bit program on 64-bit Windows that opens the system folder gets SysWOW64.
        BOOL wow = FALSE;
        if (where == system && IsWow64Process(GetCurrentProcess(), &wow) && wow &&
            GetSystemWow64DirectoryW(wow64, MAX_PATH) > 0)
            return in_folder(wow64, L"FTD2XX.dll");
        wchar_t full[MAX_PATH];
        DWORD length = GetFullPathNameW(dll.c_str(), MAX_PATH, full, NULL);
        return length > 0 && length < MAX_PATH ? full : dll;
    }
    return L"";
}

static std::string version_string(const std::vector<char> &data, const wchar_t *name)
{
    struct Translation {
        WORD language, code_page;
    } * translation;
    UINT length = 0;
    void *value;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return "";
    translation = static_cast<Translation *>(value);
    wchar_t key[96];
    _snwprintf(key, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page, name);
    key[95] = L'\0';
    if (!VerQueryValueW(data.data(), key, &value, &length) || length == 0)
        return "";
    return utf8(std::wstring(static_cast<const wchar_t *>(value), length - 1));
}

std::string file_version(const std::wstring &path)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO *fixed;
    UINT length = 0;
    if (!size || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) || length < sizeof *fixed)
        return "";
    char number[64];
    snprintf(number, sizeof number, "%lu.%lu.%lu.%lu", (unsigned long)HIWORD(fixed->dwFileVersionMS),
             (unsigned long)LOWORD(fixed->dwFileVersionMS), (unsigned long)HIWORD(fixed->dwFileVersionLS),
             (unsigned long)LOWORD(fixed->dwFileVersionLS));
    std::string version = number;
    for (const wchar_t *name : {L"FileDescription", L"CompanyName"}) {
        std::string text = version_string(data, name);
        if (!text.empty())
            version += ", " + text;
    }
    return version;
}

static std::string read_whole(const std::wstring &path, bool *ok)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    std::string bytes;
    *ok = file != INVALID_HANDLE_VALUE;
    char piece[65536];
    DWORD got = 0;
    while (*ok && (*ok = ReadFile(file, piece, sizeof piece, &got, NULL)) && got > 0)
        bytes.append(piece, got);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return bytes;
}

// The machine field of the PE header: i386 or x86-64.
int program_bits(const std::wstring &path)
{
    bool ok;
    std::string bytes = read_whole(path, &ok);
    if (!ok || bytes.size() < 64 || bytes.compare(0, 2, "MZ") != 0)
        return 0;
    unsigned long pe = 0;
    for (int i = 3; i >= 0; i--)
        pe = pe << 8 | (unsigned char)bytes[0x3c + i];
    if (pe > bytes.size() - 6 || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    unsigned machine = (unsigned char)bytes[pe + 4] | (unsigned char)bytes[pe + 5] << 8;
    return machine == IMAGE_FILE_MACHINE_I386 ? 32 : machine == IMAGE_FILE_MACHINE_AMD64 ? 64 : 0;
}

std::string sha256_of(const std::wstring &path)
{
    bool ok;
    std::string bytes = read_whole(path, &ok), hex;
    HCRYPTPROV provider;
    HCRYPTHASH hash;
    if (!ok || !CryptAcquireContextW(&provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return "";
    BYTE digest[32];
    DWORD size = sizeof digest;
    if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        if (CryptHashData(hash, reinterpret_cast<const BYTE *>(bytes.data()), (DWORD)bytes.size(), 0) &&
            CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == sizeof digest) {
            for (BYTE b : digest) {
                char two[3];
                snprintf(two, sizeof two, "%02x", b);
                hex += two;
            }
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return hex;
}

// The version Windows really is: RtlGetVersion does not depend on the program's manifest.
std::string windows_version(void)
{
    typedef LONG(WINAPI * GetVersionCall)(OSVERSIONINFOW *);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    auto get_version = reinterpret_cast<GetVersionCall>(reinterpret_cast<void (*)(void)>(found));
    if (!get_version || get_version(&info) != 0)
        return "inconnue";
    DWORD v = info.dwMajorVersion * 100 + info.dwMinorVersion;
    const char *name = v == 601    ? "Windows 7"
                       : v == 602  ? "Windows 8"
                       : v == 603  ? "Windows 8.1"
                       : v == 1000 ? (info.dwBuildNumber >= 22000 ? "Windows 11" : "Windows 10")
                                   : "Windows";
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    char text[128];
    snprintf(text, sizeof text, "%s (%lu.%lu, build %lu), %s", name, (unsigned long)info.dwMajorVersion,
             (unsigned long)info.dwMinorVersion, (unsigned long)info.dwBuildNumber, wow ? "64 bits" : "32 bits");
    return text;
}

std::string without_user(const std::wstring &path)
{
    wchar_t profile[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (length > 0 && length < MAX_PATH && path.size() > length && path[length] == L'\\' &&
        CompareStringOrdinal(path.c_str(), (int)length, profile, (int)length, TRUE) == CSTR_EQUAL)
        return "%USERPROFILE%" + utf8(path.substr(length));
    return utf8(path);
}
