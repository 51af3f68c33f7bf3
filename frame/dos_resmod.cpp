/*
 * dos_resmod.cpp - resource modules: dynamic libraries that hold texts,
 * menus, icons and other resources for one language.
 *
 * A module's file name is the process's three-letter resource language,
 * the module name (at most 7 characters) and ".dll" when the name has no
 * extension, so "ocl" under "eng" is engocl.dll.  A module is looked up by
 * the host's search order first, then in the resource path.  When both
 * fail, a system-modal box with the upper-cased file name and the caption
 * "Can't find file" asks the user: OK tries the name again (and asks again
 * while it keeps failing), Cancel sets the never-ask flag, after which every
 * missing module fails silently for the rest of the process.
 *
 * Raw resources (DosGetResource2) are found, loaded and locked in the
 * module; Win32 frees them with the module, so DosFreeResource and
 * DosFreeResource2 only check their argument.
 */
#include <windows.h>
#include <string.h>
#include "dos.h"
#include "knlnam.h"
#include "frame/dosint.h"

namespace orin::dosres {
namespace {

constexpr char kDefaultLanguage[] = "eng";
constexpr size_t kLanguageLength = 3;
constexpr size_t kMaxModuleName = 7;
constexpr size_t kMaxResourcePath = 260;
constexpr char kDefaultExtension[] = ".dll";
constexpr char kMissingCaption[] = "Can't find file";
constexpr UINT kMissingBoxStyle = MB_OKCANCEL | MB_DEFBUTTON2 | MB_SYSTEMMODAL | MB_ICONEXCLAMATION;

char language[kLanguageLength + 1] = "eng";
char resourcePath[kMaxResourcePath + 1] = "";
bool neverAsk = false;

/* Critical-error boxes stay off while a module is being looked for. */
class QuietErrorMode {
public:
    QuietErrorMode() noexcept : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrorMode() { SetErrorMode(old_); }
    QuietErrorMode(const QuietErrorMode &) = delete;
    QuietErrorMode &operator=(const QuietErrorMode &) = delete;

private:
    UINT old_;
};

HMODULE loadFromResourcePath(const char *fileName) noexcept
{
    if (resourcePath[0] == '\0')
        return nullptr;
    char full[MAX_PATH * 2] = "";
    if (KnlNamMakePathFromDF(nullptr, full, resourcePath, fileName) != 0)
        return nullptr;
    return LoadLibraryA(full);
}

/* True when the user chose OK (try again), false after Cancel. */
bool askUserToRetry(const char *fileName) noexcept
{
    char shown[MAX_PATH] = "";
    strncpy(shown, fileName, sizeof shown - 1);
    CharUpperA(shown);
    return MessageBoxA(nullptr, shown, kMissingCaption, kMissingBoxStyle) == IDOK;
}

}  // namespace

bool BuildModuleFileName(const char *moduleName, char *out, size_t size) noexcept
{
    if (moduleName == nullptr || out == nullptr)
        return false;
    size_t nameLength = strnlen(moduleName, kMaxModuleName + 1);
    if (nameLength > kMaxModuleName)
        nameLength = kMaxModuleName;
    bool hasExtension = memchr(moduleName, '.', nameLength) != nullptr;
    size_t needed = kLanguageLength + nameLength + (hasExtension ? 0 : strlen(kDefaultExtension)) + 1;
    if (needed > size)
        return false;
    memcpy(out, language, kLanguageLength);
    memcpy(out + kLanguageLength, moduleName, nameLength);
    out[kLanguageLength + nameLength] = '\0';
    if (!hasExtension)
        strcat(out, kDefaultExtension);
    return true;
}

HMODULE LoadResourceModule(const char *moduleName) noexcept
{
    char fileName[kLanguageLength + kMaxModuleName + sizeof kDefaultExtension] = "";
    if (!BuildModuleFileName(moduleName, fileName, sizeof fileName))
        return nullptr;
    QuietErrorMode quiet;
    HMODULE module = LoadLibraryA(fileName);
    if (module == nullptr)
        module = loadFromResourcePath(fileName);
    while (module == nullptr && !neverAsk) {
        if (askUserToRetry(fileName))
            module = LoadLibraryA(fileName);
        else
            neverAsk = true;
    }
    return module;
}

}  // namespace orin::dosres

using namespace orin::dosres;

void ORINAPI DosSetResourceLanguage(const char *code) noexcept
{
    const char *chosen = code != nullptr && strlen(code) == kLanguageLength ? code : kDefaultLanguage;
    memcpy(language, chosen, kLanguageLength + 1);
}

const char *ORINAPI DosGetResourceLanguage(void) noexcept
{
    return language;
}

USHORT ORINAPI DosSetResourcePath(const char *path) noexcept
{
    resourcePath[0] = '\0';
    if (path == nullptr || path[0] == '\0')
        return 0;
    char name[kMaxResourcePath + 1] = "";
    strncpy(name, path, kMaxResourcePath);
    char expanded[kMaxResourcePath + 1] = "";
    USHORT rc = KnlNamExpandPath(nullptr, name, expanded, sizeof expanded);
    if (rc == 0)
        strcpy(resourcePath, expanded);
    return rc;
}

const char *ORINAPI DosGetResourcePath(void) noexcept
{
    return resourcePath;
}

USHORT ORINAPI _DosLoadInternalModule(const char *name, HMODULE *module) noexcept
{
    if (module != nullptr)
        *module = nullptr;
    if (name == nullptr || module == nullptr)
        return 0xFFFF;
    *module = LoadResourceModule(name);
    return *module != nullptr ? 0 : 0xFFFF;
}

USHORT ORINAPI DosFreeModule(HMODULE module) noexcept
{
    if (module == nullptr)
        return ERROR_INVALID_HANDLE;
    return FreeLibrary(module) ? 0 : static_cast<USHORT>(GetLastError());
}

USHORT ORINAPI DosGetResource2(HMODULE module, ULONG type, ULONG id, void **resource) noexcept
{
    if (resource == nullptr)
        return ERROR_INVALID_PARAMETER;
    *resource = nullptr;
    if (type == 0 || type > 0xFFFF || id == 0 || id > 0xFFFF)
        return ERROR_INVALID_PARAMETER;
    HMODULE from = module != nullptr ? module : GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(from, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (found == nullptr)
        return static_cast<USHORT>(GetLastError() ? GetLastError() : ERROR_RESOURCE_NAME_NOT_FOUND);
    HGLOBAL loaded = LoadResource(from, found);
    void *data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return static_cast<USHORT>(GetLastError() ? GetLastError() : ERROR_INVALID_DATA);
    *resource = data;
    return 0;
}

USHORT ORINAPI DosFreeResource(void *resource) noexcept
{
    return resource != nullptr ? 0 : ERROR_INVALID_PARAMETER;
}

USHORT ORINAPI DosFreeResource2(HMODULE module, void *resource) noexcept
{
    return DosFreeResource(resource);
}
