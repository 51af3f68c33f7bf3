/*
 * ocwinapp.cpp - OcWinApp: the small application framework under OcApp.
 *
 * It keeps what the application was started with (module handle, command
 * line, a window object for the desktop) and runs the three steps of an
 * application: InitInstance, Run when that succeeded, ExitInstance.
 */
#include "ocapp.h"

OcWinApp::OcWinApp() = default;

OcWinApp::~OcWinApp() = default;

BOOL OcWinApp::InitInstance()
{
    return TRUE;
}

int OcWinApp::Run()
{
    return exitCode_;
}

int OcWinApp::ExitInstance()
{
    return exitCode_;
}

int OcWinApp::RunApplication()
{
    if (InitInstance())
        exitCode_ = Run();
    return ExitInstance();
}

void OcWinApp::StartFramework(HINSTANCE instance, const char *cmdLine)
{
    instance_ = instance;
    cmdLine_ = cmdLine != nullptr ? cmdLine : "";
    desktop_ = GetDesktopWindow();
}

void OcWinApp::ClearTempMaps()
{
    desktop_ = nullptr;
}
