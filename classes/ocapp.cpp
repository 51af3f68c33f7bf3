/*
 * ocapp.cpp - OcApp: the application object's start-up and shutdown, its
 * INI file and its string loads.
 *
 * The constructor runs the library's start-up in a fixed order (see
 * ocapp.h); the destructor undoes it in reverse.  The INI file lies next
 * to the executable and is remembered only when it exists; its [System]
 * section may name the resource path and language, and printing reads its
 * settings from it too (the object hands the name down to the print layer).
 */
#include <windows.h>
#include <commctrl.h>
#include <new>
#include <stdio.h>
#include <string.h>
#include "ocapp.h"
#include "dos.h"
#include "knl.h"
#include "knlnam.h"
#include "prf.h"
#include "pm/print/printint.h"

namespace {

constexpr char kIniSection[] = "System";
constexpr char kIniResourcePath[] = "Resource32Path";
constexpr char kIniResourceLanguage[] = "ResourceLanguage";
constexpr char kIniExtension[] = "ini";
constexpr size_t kLanguageLength = 3;
constexpr char kEmptyStringFormat[] = "Error Loading String, ID=%d";
constexpr char kFailedLoadFormat[] = "Error loading resource string %d from %lX";

/* dir\name when the name has an extension, else dir\base.ini with the
 * executable's base name standing in for a missing name. */
bool iniFileNextToExecutable(const char *name, char *out, size_t size)
{
    char exe[MAX_PATH] = "";
    if (GetModuleFileNameA(nullptr, exe, sizeof exe) == 0)
        return false;
    char drive[MAX_PATH] = "", dir[MAX_PATH] = "", base[MAX_PATH] = "", ext[MAX_PATH] = "";
    if (KnlNamSplitPath(nullptr, exe, drive, dir, base, ext) != 0)
        return false;
    char file[MAX_PATH] = "";
    if (name != nullptr && name[0] != '\0') {
        char nameBase[MAX_PATH] = "", nameExt[MAX_PATH] = "";
        if (KnlNamSplitPath(nullptr, name, nullptr, nullptr, nameBase, nameExt) != 0)
            return false;
        if (nameExt[0] != '\0')
            snprintf(file, sizeof file, "%s%s", nameBase, nameExt);
        else
            snprintf(file, sizeof file, "%s.%s", nameBase, kIniExtension);
    } else {
        snprintf(file, sizeof file, "%s.%s", base, kIniExtension);
    }
    char full[2 * MAX_PATH] = "";
    snprintf(full, sizeof full, "%s%s%s", drive, dir, file);
    if (strlen(full) >= size)
        return false;
    strcpy(out, full);
    return true;
}

bool fileExists(const char *name)
{
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void startCommonControls()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace

OcApp::OcApp(const char *iniName, const char *ddeService, OPMDDECALLBACK ddeCallback)
{
    RegisterDde(ddeService, ddeCallback);
    KnlInitCP();
    if (IniSet(iniName))
        ApplyIniSettings();
    StartFramework(GetModuleHandleA(nullptr), GetCommandLineA());
    hab_ = WinInitialize(0);
    resource_ = static_cast<HMODULE>(hab_);
    startCommonControls();
}

OcApp::~OcApp()
{
    if (frame_ != nullptr && WinIsWindow(hab_, frame_))
        WinDestroyWindow(frame_);
    frame_ = client_ = nullptr;
    SetHAC(nullptr);
    EndDde();
    for (; systemModuleUses_ > 0; systemModuleUses_--)
        WinFreeSystemResourceModule(0);
    if (resource_ != nullptr && resource_ != static_cast<HMODULE>(hab_))
        DosFreeModule(resource_);
    resource_ = nullptr;
    ClearTempMaps();
    if (iniName_[0] != '\0')
        orin::pm::print::setAppIniFile(nullptr);
    WinTerminate(hab_);
}

void OcApp::RegisterDde(const char *service, OPMDDECALLBACK callback)
{
    if (service == nullptr || service[0] == '\0' || callback == nullptr)
        return;
    if (OpmDdeInitialize(callback, OPMDDE_APP_INIT_FLAGS) != 0)
        return;
    BOOL running = FALSE;
    HSZ name = nullptr;
    if (OpmDdeCheckOpmServer(service, &running) == 0 && !running)
        name = OpmDdeCreateStringHandle(service);
    if (name == nullptr || OpmDdeNameService(name, OPMDDE_DNS_REGISTER) == 0) {
        if (name != nullptr)
            OpmDdeFreeStringHandle(name);
        OpmDdeUninitialize();
        return;
    }
    dde_ = new (std::nothrow) OcAppDde{};
    if (dde_ == nullptr) {
        OpmDdeFreeStringHandle(name);
        OpmDdeUninitialize();
        return;
    }
    strncpy(dde_->service, service, sizeof dde_->service - 1);
    dde_->callback = callback;
    dde_->initialised = TRUE;
    dde_->serviceHandle = name;
}

void OcApp::EndDde()
{
    if (dde_ == nullptr)
        return;
    OpmDdeNameService(dde_->serviceHandle, DNS_UNREGISTER);
    OpmDdeFreeStringHandle(dde_->serviceHandle);
    OpmDdeUninitialize();
    delete dde_;
    dde_ = nullptr;
}

BOOL OcApp::IniSet(const char *name)
{
    char candidate[MAX_PATH] = "";
    if (!iniFileNextToExecutable(name, candidate, sizeof candidate) || !fileExists(candidate))
        return FALSE;
    strcpy(iniName_, candidate);
    orin::pm::print::setAppIniFile(iniName_);    // the print settings come from it too
    return TRUE;
}

void OcApp::ApplyIniSettings()
{
    char path[OCAPP_INI_VALUE_MAX + 1] = "";
    if (PrfIniQueryKey(nullptr, iniName_, kIniSection, kIniResourcePath, path, OCAPP_INI_VALUE_MAX) == 0 &&
        path[0] != '\0')
        DosSetResourcePath(path);
    char language[OCAPP_INI_VALUE_MAX + 1] = "";
    if (PrfIniQueryKey(nullptr, iniName_, kIniSection, kIniResourceLanguage, language,
                       OCAPP_INI_VALUE_MAX) == 0 &&
        strlen(language) == kLanguageLength)
        DosSetResourceLanguage(language);
}

const char *OcApp::IniQueryKey(const char *section, const char *key)
{
    text_[0] = '\0';
    if (iniName_[0] == '\0' || section == nullptr || key == nullptr)
        return text_;
    if (PrfIniQueryKey(nullptr, iniName_, section, key, text_, sizeof text_) != 0)
        text_[0] = '\0';
    return text_;
}

const char *OcApp::LoadString(ULONG id)
{
    text_[0] = '\0';
    if (WinLoadString(resource_, id, sizeof text_, text_) <= 0)
        snprintf(text_, sizeof text_, kEmptyStringFormat, static_cast<int>(id));
    return text_;
}

BOOL OcApp::LoadString(ULONG id, char *buffer, LONG size)
{
    if (buffer == nullptr || size <= 0)
        return FALSE;
    if (WinLoadString(resource_, id, size, buffer) > 0)
        return TRUE;
    snprintf(buffer, static_cast<size_t>(size), kFailedLoadFormat, static_cast<int>(id),
             static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(resource_)));
    return FALSE;
}

void OcApp::SetResource(HMODULE module)
{
    if (resource_ != nullptr && resource_ != module && resource_ != static_cast<HMODULE>(hab_))
        DosFreeModule(resource_);
    resource_ = module;
}

/* The OcApp's table is the application's (WinSetAccelTable of no window),
 * so dialogs translate with it too.  Dropping the table clears the
 * application's only while it is still this one. */
void OcApp::SetHAC(HACCEL hac)
{
    if (hac != nullptr || WinQueryAccelTable(hab_, nullptr) == hac_)
        WinSetAccelTable(hab_, hac, nullptr);
    if (hac_ != nullptr && hac_ != hac)
        DestroyAcceleratorTable(hac_);
    hac_ = hac;
}

BOOL OcApp::SetTitle(const char *title)
{
    return frame_ != nullptr && WinSetWindowText(frame_, title != nullptr ? title : "");
}
