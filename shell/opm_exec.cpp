/*
 * opm_exec.cpp - starting programs, closing them, and opening URLs.
 *
 * The program starter honours the host's application-path registrations:
 * a program registered under "App Paths" (looked up by its file name,
 * then by its file name + ".exe") is started under its registered full
 * name, and the key's "Path" value goes in front of the child's PATH.  A
 * program given with a path is only rewritten when the registration names
 * that same file.  Without a registration the command line and the
 * environment stay as they are.
 *
 * While the child starts up, the caller's messages keep flowing and the
 * pointer shows the application-starting shape; with the wait flag the
 * caller then waits for the child to end, repainting its windows
 * meanwhile.
 *
 * The URL opener asks the shell first and falls back to the command
 * registered for ".htm" files with the URL appended.
 */
#include <stdlib.h>
#include <string.h>
#include "shell/opmint.h"
#include <shellapi.h>
#include "knl.h"
#include "frame/scope.h"

namespace orin::opm {
namespace {

constexpr auto OPM_CREATE_FLAGS = (CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS);
constexpr auto OPM_IDLE_FIRST_MS = 5000;
constexpr auto OPM_IDLE_NEXT_MS = 100;
constexpr auto OPM_SHELL_OK = 32;   /* ShellExecute results above this succeed */
constexpr char OPM_EXE_SUFFIX[] = ".exe";
constexpr char OPM_PATH_VAR[] = "PATH";
constexpr auto OPM_PATH_VAR_LEN = 4;
constexpr char OPM_URL_PLACEHOLDER[] = "%1";

typedef struct {
    char name[MAX_PATH];      /* program name as given */
    const char *args;         /* the rest of the command line */
} CMDPARTS;

BOOL splitCommand(const char *cmd, CMDPARTS *parts)
{
    const char *p = cmd, *end;
    size_t n;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '"') {
        p++;
        end = strchr(p, '"');
        if (!end)
            end = p + strlen(p);
        parts->args = *end ? end + 1 : end;
    } else {
        end = p + strcspn(p, " \t");
        parts->args = end;
    }
    n = (size_t)(end - p);
    if (n >= sizeof parts->name)
        return FALSE;
    memcpy(parts->name, p, n);
    parts->name[n] = 0;
    return n > 0;
}

const char *filePart(const char *name)
{
    const char *p, *start = name;
    for (p = name; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            start = p + 1;
    return start;
}

/* Reads a string value of an App Paths sub-key; FALSE when missing. */
BOOL readAppPath(const char *file, const char *value, char *out, DWORD size)
{
    char key[MAX_PATH + sizeof OPM_APP_PATHS + 1];
    HKEY h;
    DWORD type, len = size;
    LONG rc;
    if (strlen(file) + sizeof OPM_APP_PATHS + 1 > sizeof key)
        return FALSE;
    strcpy(key, OPM_APP_PATHS "\\");
    strcat(key, file);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return FALSE;
    orin::UniqueRegKey owned(h);
    rc = RegQueryValueExA(h, value, NULL, &type, (BYTE *)out, &len);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || len == 0)
        return FALSE;
    out[len < size ? len : size - 1] = 0;
    return TRUE;
}

size_t blockSize(const char *env)
{
    const char *p = env;
    while (*p)
        p += strlen(p) + 1;
    return (size_t)(p - env) + 1;
}

BOOL isPathEntry(const char *entry)
{
    return _strnicmp(entry, OPM_PATH_VAR, OPM_PATH_VAR_LEN) == 0 && entry[OPM_PATH_VAR_LEN] == '=';
}

/* The caller's block with extra in front of the first PATH entry (or a
 * new PATH entry at the end). */
char *buildEnvironment(const char *env, const char *extra)
{
    size_t size = blockSize(env), extraLen = strlen(extra), len;
    BOOL needSemi = extraLen && extra[extraLen - 1] != ';';
    char *out = (char*)malloc(size + extraLen + sizeof OPM_PATH_VAR + 2), *w = out;
    const char *p;
    BOOL done = FALSE;

    if (!out)
        return NULL;
    for (p = env; *p; p += len + 1) {
        len = strlen(p);
        if (!done && isPathEntry(p)) {
            memcpy(w, p, OPM_PATH_VAR_LEN + 1);
            w += OPM_PATH_VAR_LEN + 1;
            memcpy(w, extra, extraLen);
            w += extraLen;
            if (needSemi)
                *w++ = ';';
            strcpy(w, p + OPM_PATH_VAR_LEN + 1);
            KnlOemToAnsi(w - extraLen - needSemi, w - extraLen - needSemi);
            w += strlen(w) + 1;
            done = TRUE;
        } else {
            memcpy(w, p, len + 1);
            w += len + 1;
        }
    }
    if (!done) {
        strcpy(w, OPM_PATH_VAR);
        strcat(w, "=");
        strcat(w, extra);
        w += strlen(w) + 1;
    }
    *w = 0;
    return out;
}

void pumpUntilIdle(HANDLE process)
{
    HCURSOR starting = LoadCursor(NULL, IDC_APPSTARTING), previous = GetCursor();
    DWORD r = WaitForInputIdle(process, OPM_IDLE_FIRST_MS);
    BOOL quit = FALSE;
    MSG msg;
    while (r == WAIT_TIMEOUT && !quit) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage((int)msg.wParam);
                quit = TRUE;
                break;
            }
            if (msg.message == WM_SETCURSOR)
                SetCursor(starting);
            else
                DispatchMessageA(&msg);
        }
        if (!quit)
            r = WaitForInputIdle(process, OPM_IDLE_NEXT_MS);
    }
    SetCursor(previous);
}

BOOL waitForEnd(HANDLE process)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_PAINT);
        if (r == WAIT_OBJECT_0)
            return TRUE;
        if (r != WAIT_OBJECT_0 + 1)
            return FALSE;
        while (PeekMessageA(&msg, NULL, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageA(&msg);
    }
}

/* The process's environment block, given back when its owner ends. */
struct EnvironmentFreer {
    void operator()(char *env) const noexcept { FreeEnvironmentStringsA(env); }
};
using UniqueEnvironment = std::unique_ptr<char, EnvironmentFreer>;

/* Starts the child and keeps the caller's messages flowing until it is
 * ready (and, with wait, until it ends); FALSE with the system's error in
 * *error when that fails. */
BOOL runChild(char *cmd, char *env, USHORT showCommand, BOOL wait, ULONG *error)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;

    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (showCommand) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = showCommand;
    }
    if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, OPM_CREATE_FLAGS, env, NULL, &si, &pi)) {
        *error = GetLastError();
        return FALSE;
    }
    orin::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    pumpUntilIdle(pi.hProcess);
    if (wait && !waitForEnd(pi.hProcess)) {
        *error = GetLastError();
        return FALSE;
    }
    return TRUE;
}

USHORT readClassValue(const char *key, char *out, LONG size)
{
    LONG len = size;
    LONG rc = RegQueryValueA(HKEY_CLASSES_ROOT, key, out, &len);
    if (rc != ERROR_SUCCESS)
        return (USHORT)rc;
    out[size - 1] = 0;
    return 0;
}

}  // namespace
}  // namespace orin::opm

using namespace orin::opm;

/* ---- environment ---- */

USHORT opmAppPathRewrite(const char *cmdLine, const char *envBlock, char **newCmd,
                         char **newEnv)
{
    CMDPARTS parts;
    char full[MAX_PATH], registered[MAX_PATH], extra[2048], withExe[MAX_PATH + 4];
    const char *file;
    BOOL withPath, found;

    *newCmd = NULL;
    *newEnv = NULL;
    if (!splitCommand(cmdLine, &parts))
        return 0;
    withPath = strpbrk(parts.name, "\\/") != NULL;
    full[0] = 0;
    if (withPath && !GetFullPathNameA(parts.name, sizeof full, full, NULL))
        return 0;
    file = filePart(parts.name);
    found = readAppPath(file, NULL, registered, sizeof registered);
    if (!found && strlen(file) + sizeof OPM_EXE_SUFFIX <= sizeof withExe) {
        strcpy(withExe, file);
        strcat(withExe, OPM_EXE_SUFFIX);
        file = withExe;
        found = readAppPath(file, NULL, registered, sizeof registered);
    }
    if (!found)
        return 0;
    if (withPath) {
        char fullExe[MAX_PATH + 4];
        strcpy(fullExe, full);
        strcat(fullExe, OPM_EXE_SUFFIX);
        if (_stricmp(registered, full) != 0 && _stricmp(registered, fullExe) != 0)
            return 0;
    }
    orin::UniqueMalloc<char> cmd(static_cast<char *>(malloc(strlen(registered) + strlen(parts.args) + 3)));
    if (!cmd)
        return ORIN_ERR_NO_MEMORY;
    strcpy(cmd.get(), "\"");
    strcat(cmd.get(), registered);
    strcat(cmd.get(), "\"");
    strcat(cmd.get(), parts.args);
    orin::UniqueMalloc<char> env;
    if (readAppPath(file, "Path", extra, sizeof extra)) {
        env.reset(buildEnvironment(envBlock, extra));
    } else {
        size_t size = blockSize(envBlock);
        env.reset(static_cast<char *>(malloc(size)));
        if (env)
            memcpy(env.get(), envBlock, size);
    }
    if (!env)
        return ORIN_ERR_NO_MEMORY;
    *newCmd = cmd.release();
    *newEnv = env.release();
    return 0;
}

/* ---- waiting ---- */

USHORT ORINAPI OpmStartProgram(const char *commandLine, USHORT showCommand, BOOL wait,
                               ULONG *error) noexcept
{
    char *newCmd = NULL, *newEnv = NULL;
    ULONG dummy;

    if (!error)
        error = &dummy;
    *error = 0;
    if (!commandLine) {
        *error = ORIN_ERR_INVALID_PARAM;
        return ORIN_ERR_GENERAL;
    }
    orin::UniqueMalloc<char> cmd(_strdup(commandLine));
    UniqueEnvironment env(GetEnvironmentStringsA());
    if (!cmd || !env || opmAppPathRewrite(commandLine, env.get(), &newCmd, &newEnv) != 0) {
        *error = ORIN_ERR_NO_MEMORY;
        return ORIN_ERR_GENERAL;
    }
    orin::UniqueMalloc<char> rewrittenCmd(newCmd), rewrittenEnv(newEnv);
    env.reset();
    BOOL ok = runChild(newCmd ? newCmd : cmd.get(), newEnv, showCommand, wait, error);
    return ok ? 0 : ORIN_ERR_GENERAL;
}

USHORT ORINAPI OpmExecProgram(const char *commandLine, USHORT showCommand) noexcept
{
    ULONG error;
    return OpmStartProgram(commandLine, showCommand, FALSE, &error);
}

USHORT ORINAPI OpmTerminateProgram(const char *windowClassName) noexcept
{
    HWND w = windowClassName ? FindWindowA(windowClassName, NULL) : NULL;
    if (!w)
        return ORIN_ERR_GENERAL;
    PostMessageA(w, WM_CLOSE, 0, 0);
    return 0;
}

/* ---- URLs ---- */

USHORT opmUrlHandlerCommand(const char *url, char *out, size_t size)
{
    char cls[MAX_PATH], key[MAX_PATH + 32], command[2048];
    char *cut;
    USHORT rc = readClassValue(".htm", cls, sizeof cls);
    if (rc)
        return rc;
    if (strlen(cls) + sizeof "\\shell\\open\\command" > sizeof key)
        return ORIN_ERR_INVALID_DATA;
    strcpy(key, cls);
    strcat(key, "\\shell\\open\\command");
    rc = readClassValue(key, command, sizeof command);
    if (rc)
        return rc;
    cut = strstr(command, OPM_URL_PLACEHOLDER);
    if (cut) {
        if (cut > command && cut[-1] == '"')
            cut--;
        *cut = 0;
    }
    /* the command ends just before the placeholder; one blank separates
     * it from the URL */
    while (cut && cut > command && cut[-1] == ' ')
        *--cut = 0;
    if (strlen(command) + 1 + strlen(url) + 1 > size)
        return ORIN_ERR_BUFFER_TOO_SMALL;
    strcpy(out, command);
    strcat(out, " ");
    strcat(out, url);
    return 0;
}

USHORT ORINAPI OpmExecURL(const char *url, USHORT showCommand) noexcept
{
    char command[4096];
    USHORT rc;
    if (!url)
        return ORIN_ERR_INVALID_PARAM;
    if ((INT_PTR)ShellExecuteA(NULL, NULL, url, NULL, NULL, showCommand) > OPM_SHELL_OK)
        return 0;
    rc = opmUrlHandlerCommand(url, command, sizeof command);
    if (rc)
        return rc;
    OpmExecProgram(command, showCommand);
    return 0;
}
