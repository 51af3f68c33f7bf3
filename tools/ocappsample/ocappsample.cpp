// A small application on OcApp: its frame comes from one CreateFrame call
// (menu and icon of engocl.dll), its texts from the system resource module,
// and it serves the DDE name "OcAppSample" (topic "Sample", item "Title").
// A second copy started while the first runs finds the service, asks the
// first one for its title over DDE, prints it and ends instead of opening
// a second window.  The first copy closes itself after a few seconds
// (ocappsample [seconds], default 3).  An ocappsample.ini beside it may
// choose the language: [System] ResourceLanguage=deu.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include "ocapp.h"

namespace {

const char kService[] = "OcAppSample";
const char kTopic[] = "Sample";
const char kItem[] = "Title";
const ULONG kCloseTimer = 1;
char title[128] = "";

std::string text(HSZ hsz)
{
    char buf[256] = "";
    OpmDdeQueryString(hsz, buf, sizeof buf);
    return buf;
}

HDDEDATA CALLBACK serve(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    if (type == XTYP_CONNECT) {
        std::string topic = text(hsz1);
        return (HDDEDATA)(ULONG_PTR)(topic == kTopic || topic == OPMDDE_PRESENCE_TOPIC);
    }
    if (type == XTYP_REQUEST && text(hsz2) == kItem) {
        printf("ocappsample: a second copy asked for the title\n");
        fflush(stdout);
        return OpmDdeCreateDataHandle(title, (DWORD)strlen(title) + 1, hsz2, 0);
    }
    return nullptr;
}

class SampleApp : public OcApp {
public:
    SampleApp() : OcApp("ocappsample.ini", kService, serve) {}

    MRESULT OnWM_COMMAND(MPARAM mp1, MPARAM mp2) override
    {
        if (SHORT1FROMMP(mp1) == OCL_IDM_EXIT)
            WinPostMsg(GetFrameWindow(), PM_WM_CLOSE, nullptr, nullptr);
        return nullptr;
    }
};

int askTheFirstCopy()
{
    if (OpmDdeInitialize(serve, 0) != 0)
        return 2;
    char answer[128] = "";
    USHORT rc = OpmDdeFullRequest(nullptr, kService, kTopic, kItem, answer, sizeof answer);
    OpmDdeUninitialize();
    if (rc != 0) {
        printf("ocappsample: the first copy did not answer (%u)\n", rc);
        return 1;
    }
    printf("ocappsample: already running, its title is \"%s\"\n", answer);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    ULONG seconds = argc > 1 ? strtoul(argv[1], nullptr, 10) : 3;
    SampleApp app;
    if (!app.IsDdeInit())
        return askTheFirstCopy();

    char openText[64] = "", language[64] = "";
    OpmLoadString(OCL_IDS_OPENFILE, openText, sizeof openText);
    OpmLoadString(OCL_IDS_LANGUAGE, language, sizeof language);
    snprintf(title, sizeof title, "OcApp sample (%s) - %s", language, openText);
    if (!app.CreateFrame(nullptr, 0, 0, title)) {
        printf("ocappsample: no frame\n");
        return 1;
    }
    HMENU menu = GetMenu(app.GetFrameWindow());
    char first[64] = "";
    GetMenuStringA(menu, 0, first, sizeof first, MF_BYPOSITION);
    printf("ocappsample: frame \"%s\", first menu \"%s\" with %d items, serving DDE \"%s\"\n",
           title, first, GetMenuItemCount(GetSubMenu(menu, 0)), kService);
    fflush(stdout);
    // The timer's WM_TIMER reaches the frame, which closes like a user would.
    SetTimer(app.GetFrameWindow(), kCloseTimer, seconds * 1000,
             [](HWND frame, UINT, UINT_PTR, DWORD) { PostMessageA(frame, WM_CLOSE, 0, 0); });
    int rc = app.RunApplication();
    printf("ocappsample: closed after %lu s\n", seconds);
    return rc;
}
