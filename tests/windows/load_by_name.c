/* Loads Velkor.dll at run time the way an application program does and checks
 * what such a program relies on: every export found by its undecorated name,
 * nVelkor as data, the card locks in place as soon as LoadLibrary returns,
 * a clean unload and reload, and the version resource. A virtual module in
 * slot 1 gives the cards a registration, without which no export would touch
 * a card lock. Exit code 0 on success; each failure is printed. */
#include <velkor_sim/velkor_sim.h>

#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

#include "export_names.h"

static int failures;

#define CHECK(cond, ...)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "FAILED %s: ", #cond);                                                \
            fprintf(stderr, __VA_ARGS__);                                                          \
            fputc('\n', stderr);                                                                   \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

typedef uint16_t (*GetVersionFn)(void);
typedef uint8_t (*CheckRtcFn)(uint8_t);
typedef uint8_t (*RegistrationFn)(uint8_t, uint8_t);

#define MODULE_SLOT 1

static FARPROC find(HMODULE dll, const char* name)
{
    FARPROC address = GetProcAddress(dll, name);
    CHECK(address != NULL, "%s not exported under its plain name", name);
    return address;
}

/* Every export resolves; the card functions run on all eight cards. A card
 * lock that the attach notification had not created would make this hang or
 * crash instead of returning. */
static void checkLoaded(HMODULE dll)
{
    for (size_t i = 0; i < sizeof kFunctionNames / sizeof kFunctionNames[0]; ++i) {
        find(dll, kFunctionNames[i]);
    }
    for (size_t i = 0; i < sizeof kDataNames / sizeof kDataNames[0]; ++i) {
        find(dll, kDataNames[i]);
    }

    GetVersionFn getVersion = (GetVersionFn)(void (*)(void))find(dll, "Velkor_GET_VERSION");
    if (getVersion != NULL) {
        CHECK(getVersion() == 1809, "Velkor_GET_VERSION returned %u", (unsigned)getVersion());
    }

    /* Velkor_CHECK_RTC on a registered card takes and releases the card lock;
     * the idle module reads 0 each time, so it reports 0. On a card without a
     * registration it touches neither lock nor slot and reports 0 as well. */
    RegistrationFn registration = (RegistrationFn)(void (*)(void))find(dll, "Velkor_REGISTRATION");
    CheckRtcFn checkRtc = (CheckRtcFn)(void (*)(void))find(dll, "Velkor_CHECK_RTC");
    if (registration != NULL && checkRtc != NULL) {
        for (uint8_t card = 0; card < 8; ++card) {
            CHECK(checkRtc(card) == 0, "Velkor_CHECK_RTC(%u) before registration", (unsigned)card);
            CHECK(registration(card, MODULE_SLOT) == 1, "Velkor_REGISTRATION(%u, %d)", (unsigned)card, MODULE_SLOT);
            CHECK(checkRtc(card) == 0, "Velkor_CHECK_RTC(%u) on an idle module", (unsigned)card);
        }
    }
}

static int32_t* findData(HMODULE dll) { return (int32_t*)(void*)GetProcAddress(dll, "nVelkor"); }

static const wchar_t* versionString(const void* info, const wchar_t* name)
{
    wchar_t path[128];
    swprintf(path, sizeof path / sizeof path[0], L"\\StringFileInfo\\040904B0\\%ls", name);
    void* value = NULL;
    UINT length = 0;
    if (!VerQueryValueW(info, path, &value, &length) || value == NULL) {
        return L"(missing)";
    }
    return (const wchar_t*)value;
}

static void checkVersionResource(HMODULE dll)
{
    wchar_t path[MAX_PATH];
    DWORD pathLength = GetModuleFileNameW(dll, path, MAX_PATH);
    CHECK(pathLength > 0 && pathLength < MAX_PATH, "no file name for the loaded module");
    if (pathLength == 0 || pathLength >= MAX_PATH) {
        return;
    }
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    CHECK(size > 0, "no version resource in %ls", path);
    if (size == 0) {
        return;
    }
    void* info = HeapAlloc(GetProcessHeap(), 0, size);
    if (info == NULL || !GetFileVersionInfoW(path, 0, size, info)) {
        CHECK(0, "version resource of %ls unreadable", path);
        return;
    }
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedLength = 0;
    if (VerQueryValueW(info, L"\\", (void**)&fixed, &fixedLength) && fixed != NULL) {
        CHECK(fixed->dwSignature == 0xFEEF04BD, "signature %08lx", (unsigned long)fixed->dwSignature);
        CHECK(fixed->dwFileVersionMS == 0x00000007 && fixed->dwFileVersionLS == 0x00010001,
              "FILEVERSION %08lx %08lx", (unsigned long)fixed->dwFileVersionMS, (unsigned long)fixed->dwFileVersionLS);
        CHECK(fixed->dwProductVersionMS == 0x00000007 && fixed->dwProductVersionLS == 0x00010001,
              "PRODUCTVERSION %08lx %08lx", (unsigned long)fixed->dwProductVersionMS,
              (unsigned long)fixed->dwProductVersionLS);
    } else {
        CHECK(0, "no fixed file information");
    }
    const wchar_t* fileVersion = versionString(info, L"FileVersion");
    const wchar_t* productVersion = versionString(info, L"ProductVersion");
    CHECK(wcscmp(fileVersion, L"0, 7, 1, 1") == 0, "FileVersion \"%ls\"", fileVersion);
    CHECK(wcscmp(productVersion, L"0, 7, 1, 1") == 0, "ProductVersion \"%ls\"", productVersion);
    HeapFree(GetProcessHeap(), 0, info);
}

int main(void)
{
    VelkorSimModule* module = VelkorSim_Plug(MODULE_SLOT, 1.0);
    if (module == NULL) {
        fprintf(stderr, "no virtual module in slot %d\n", MODULE_SLOT);
        return 1;
    }
    HMODULE dll = LoadLibraryW(L"Velkor.dll");
    if (dll == NULL) {
        fprintf(stderr, "LoadLibrary(Velkor.dll) failed: %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    checkLoaded(dll);
    checkVersionResource(dll);

    int32_t* nVelkor = findData(dll);
    if (nVelkor != NULL) {
        CHECK(*nVelkor == 0, "nVelkor is %ld after load", (long)*nVelkor);
        *nVelkor = 1234;
        CHECK(*findData(dll) == 1234, "nVelkor did not keep the stored value");
    }

    /* Unload (the detach notification deletes the card locks) and load again:
     * a fresh image whose locks are created anew. */
    CHECK(FreeLibrary(dll), "FreeLibrary failed: %lu", (unsigned long)GetLastError());
    CHECK(GetModuleHandleW(L"Velkor.dll") == NULL, "Velkor.dll still loaded after FreeLibrary");
    dll = LoadLibraryW(L"Velkor.dll");
    if (dll == NULL) {
        fprintf(stderr, "second LoadLibrary(Velkor.dll) failed: %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    checkLoaded(dll);
    nVelkor = findData(dll);
    CHECK(nVelkor != NULL && *nVelkor == 0, "nVelkor is not 0 after reloading");
    CHECK(FreeLibrary(dll), "second FreeLibrary failed");
    VelkorSim_Unplug(module);

    if (failures == 0) {
        printf("Velkor.dll: %u functions and %u data exports by name, version resource 0, 7, 1, 1\n",
               (unsigned)(sizeof kFunctionNames / sizeof kFunctionNames[0]),
               (unsigned)(sizeof kDataNames / sizeof kDataNames[0]));
    }
    return failures == 0 ? 0 : 1;
}
