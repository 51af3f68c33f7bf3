/*
 * ocapp.h - the application object and resource-module objects.
 *
 * OcWinApp is the small application framework under OcApp (the host's
 * usual framework is not available to this tool chain).  It keeps the
 * module handle and command line it was started with and a window object
 * for the desktop, and runs an application in the usual three steps:
 * RunApplication() calls InitInstance(), then Run() when that succeeded,
 * then always ExitInstance(), whose result is the exit code.
 *
 * OcApp does the library's whole start-up in its constructor, in this
 * order: framework object; DDE registration when a service name and a
 * callback are given (initialise with OPMDDE_APP_INIT_FLAGS, register the
 * name only when no server of that name answers yet; any failure undoes it
 * and IsDdeInit() answers 0); code-page tables; the INI file next to the
 * executable (IniSet); its [System] Resource32Path and ResourceLanguage
 * as resource path and language; the framework start with the module and
 * command line; WinInitialize and the common controls.  The destructor
 * reverses it: frame, accelerator table, DDE name and instance, resource
 * module (unless it is the application's own), the framework's temporary
 * maps, WinTerminate.  A frame still open then is destroyed after the
 * derived object has gone, so its WM_DESTROY reaches OcApp's own
 * OnWM_DESTROY; destroy the frame earlier to see it in an override.
 * No national-language font layer exists here, so
 * that start-up step has nothing to do.
 *
 * CreateFrame(0, 0, 0, title) makes a standard frame with title bar,
 * system menu, menu and icon 1000 of the system resource module (engocl.dll
 * for English), sizing border and both buttons, around a client of the
 * class "OcAppDefClass" whose window word 0 holds the OcApp; its procedure
 * sends WM_PAINT, WM_SIZE, WM_COMMAND, WM_DESTROY and WM_NOTIFY to the
 * virtual handlers below and translates keys with the application's
 * accelerator table (SetHAC makes it WinSetAccelTable's table of no window
 * for the calling thread, so PM dialogs use it too; the OcApp owns it from
 * then on).
 *
 * The text results of IniQueryKey and LoadString(id) live in the object
 * and stay valid until the next call of the same member.  SetResource
 * hands a module to the object, which frees it at the end unless it is the
 * application's own module.
 *
 * COwmResMod wraps one resource module by name (language code + name +
 * ".dll", see dos.h); the empty name stands for the application's own
 * module.  The module is loaded on first use and freed by the destructor.
 * LoadString gives 1 when the string was loaded; otherwise the buffer
 * receives the fallback text, or "Resource module NAME, string ID N", and
 * 0 is returned.
 */
#ifndef OCAPP_H
#define OCAPP_H

#include "win.h"
#include "gpi.h"
#include "opmdde.h"

#ifdef __cplusplus

/* The members LoadString and LoadBitmap keep their own names whatever the
 * character set: the system's macros of those names are dropped here (call
 * LoadStringA / LoadBitmapA for the system's functions). */
#undef LoadString
#undef LoadBitmap

#define OCAPP_DEFAULT_FRAME_FLAGS 0x403FUL
#define OCAPP_DEFAULT_CLASS       "OcAppDefClass"
#define OCAPP_DEFAULT_RESOURCES   1000UL
#define OCAPP_INI_VALUE_MAX       256

class ORIN_CLASS OcWinApp {
public:
    OcWinApp();
    virtual ~OcWinApp();
    OcWinApp(const OcWinApp &) = delete;
    OcWinApp &operator=(const OcWinApp &) = delete;

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();
    int RunApplication();

    HINSTANCE GetInstanceHandle() const { return instance_; }
    const char *GetCmdLine() const { return cmdLine_; }
    HWND GetDesktopWindowObject() const { return desktop_; }

protected:
    void StartFramework(HINSTANCE instance, const char *cmdLine);
    void ClearTempMaps();
    int exitCode_ = 0;

private:
    HINSTANCE instance_ = nullptr;
    const char *cmdLine_ = "";
    HWND desktop_ = nullptr;
};

class ORIN_CLASS COwmResMod {
public:
    explicit COwmResMod(const char *name = "");
    virtual ~COwmResMod();
    COwmResMod(const COwmResMod &) = delete;
    COwmResMod &operator=(const COwmResMod &) = delete;

    HMODULE GetResource();
    operator HMODULE() { return GetResource(); }
    const char *GetName() const { return name_; }

    int LoadString(ULONG id, char *buffer, LONG size, const char *fallback = nullptr);
    HBITMAP LoadBitmap(ULONG id);
    HCURSOR LoadPointer(ULONG id);
    HACCEL LoadAccelTable(ULONG id);

private:
    HMODULE module_ = nullptr;
    char name_[8] = "";
    bool owned_ = false;
};

struct OcAppDde {
    char service[64];
    OPMDDECALLBACK callback;
    BOOL initialised;
    HSZ serviceHandle;
};

class ORIN_CLASS OcApp : public OcWinApp {
public:
    OcApp(const char *iniName = nullptr, const char *ddeService = nullptr,
          OPMDDECALLBACK ddeCallback = nullptr);
    ~OcApp() override;

    int Run() override;

    BOOL IniSet(const char *name);
    const char *IniQueryKey(const char *section, const char *key);
    const char *GetIniName() const { return iniName_; }
    const char *LoadString(ULONG id);
    BOOL LoadString(ULONG id, char *buffer, LONG size);
    BOOL CreateFrame(const char *clientClass, ULONG idResources, ULONG frameFlags,
                     const char *title);
    int Dispatch();

    HWND GetFrameWindow() const { return frame_; }
    HWND GetClientWindow() const { return client_; }
    HWND GetObjectWindow() const { return object_; }
    void SetObjectWindow(HWND hwnd) { object_ = hwnd; }
    HAB GetHAB() const { return hab_; }
    HACCEL GetHAC() const { return hac_; }
    void SetHAC(HACCEL hac);
    HMODULE GetResource() const { return resource_; }
    void SetResource(HMODULE module);
    BOOL SetTitle(const char *title);
    BOOL IsDdeInit() const { return dde_ != nullptr; }
    ULONG GetFrameFlags() const { return frameFlags_; }

    virtual MRESULT OnWM_PAINT(HPS hps);
    virtual MRESULT OnWM_SIZE(MPARAM mp1, MPARAM mp2);
    virtual MRESULT OnWM_COMMAND(MPARAM mp1, MPARAM mp2);
    virtual MRESULT OnWM_DESTROY();
    virtual MRESULT OnWM_NOTIFY(MPARAM mp1, MPARAM mp2);

    static MRESULT DefaultProc(HWND hwnd, USHORT msg, MPARAM mp1, MPARAM mp2);

private:
    void RegisterDde(const char *service, OPMDDECALLBACK callback);
    void EndDde();
    void ApplyIniSettings();

    char iniName_[MAX_PATH] = "";
    HWND frame_ = nullptr;
    HWND client_ = nullptr;
    HWND object_ = nullptr;
    HAB hab_ = nullptr;
    HACCEL hac_ = nullptr;
    HMODULE resource_ = nullptr;
    ULONG frameFlags_ = 0;
    OcAppDde *dde_ = nullptr;
    ULONG systemModuleUses_ = 0;
    char text_[OCAPP_INI_VALUE_MAX + 1] = "";
};

#endif /* __cplusplus */

#endif /* OCAPP_H */
