/*
 * owmresmod.cpp - COwmResMod: one resource module, loaded on first use.
 *
 * A named module is found with _DosLoadInternalModule (language code +
 * name, resource path, the "Can't find file" box) and freed by the
 * destructor; the unnamed one is the application's own module and is
 * never freed.  String loads that find no module or no string fill the
 * buffer with the caller's fallback or a text naming the module and id.
 */
#include <stdio.h>
#include <string.h>
#include "ocapp.h"
#include "dos.h"

namespace {
constexpr char kMissingStringFormat[] = "Resource module %s, string ID %u";
}  // namespace

COwmResMod::COwmResMod(const char *name)
{
    if (name != nullptr)
        strncpy(name_, name, sizeof name_ - 1);
}

COwmResMod::~COwmResMod()
{
    if (owned_ && module_ != nullptr)
        DosFreeModule(module_);
}

HMODULE COwmResMod::GetResource()
{
    if (module_ != nullptr)
        return module_;
    if (name_[0] == '\0') {
        HAB anchor = _WinGetHab();
        module_ = anchor != nullptr ? static_cast<HMODULE>(anchor) : GetModuleHandleA(nullptr);
        return module_;
    }
    HMODULE loaded = nullptr;
    if (_DosLoadInternalModule(name_, &loaded) == 0) {
        module_ = loaded;
        owned_ = true;
    }
    return module_;
}

int COwmResMod::LoadString(ULONG id, char *buffer, LONG size, const char *fallback)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    HMODULE module = GetResource();
    if (module != nullptr && WinLoadString(module, id, size, buffer) > 0)
        return 1;
    if (fallback != nullptr)
        snprintf(buffer, static_cast<size_t>(size), "%s", fallback);
    else
        snprintf(buffer, static_cast<size_t>(size), kMissingStringFormat, name_, static_cast<unsigned>(id));
    return 0;
}

HBITMAP COwmResMod::LoadBitmap(ULONG id)
{
    HMODULE module = GetResource();
    return module != nullptr && id <= 0xFFFF ? ::LoadBitmapA(module, MAKEINTRESOURCEA(id)) : nullptr;
}

HCURSOR COwmResMod::LoadPointer(ULONG id)
{
    HMODULE module = GetResource();
    return module != nullptr && id <= 0xFFFF ? LoadCursorA(module, MAKEINTRESOURCEA(id)) : nullptr;
}

HACCEL COwmResMod::LoadAccelTable(ULONG id)
{
    HMODULE module = GetResource();
    return module != nullptr && id <= 0xFFFF ? LoadAcceleratorsA(module, MAKEINTRESOURCEA(id)) : nullptr;
}
