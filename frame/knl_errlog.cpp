/*
 * knl_errlog.cpp - the error log: a text file that records failures for
 * support staff.  Three states: closed; open and active; open and stopped
 * (formatted lines are dropped while stopped).  Each change of state is
 * marked in the file.
 *
 * The log is one object whose lock every call takes, so threads may write
 * to it at once: each line (text and line end) goes out whole.
 */
#include <cstdio>
#include <cstring>
#include <mutex>
#include "frame/knlint.h"
#include "frame/knlnamint.h"
#include "frame/scope.h"
#include "knlnam.h"

namespace orin::knl {
namespace {

constexpr char kLogExt[] = "err";
constexpr std::size_t kFormatMax = 512;
#define LINE_END "\r\n"

class ErrorLog {
public:
    std::unique_lock<SlimLock> lock() noexcept { return std::unique_lock<SlimLock>(lock_); }

    bool open() const noexcept { return file_ != nullptr; }
    bool active() const noexcept { return active_; }

    /* Opens the file; false when it cannot be opened (call locked). */
    bool start(const char *name, BOOL append) noexcept
    {
        if (name)
            knlNamCopy(name_, name, sizeof name_);
        KnlNamSetExt(KnlNamGetDefaultNS(), name_, kLogExt);
        file_ = adoptFileHandle(CreateFileA(name_, GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            append ? OPEN_ALWAYS : CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_)
            return false;
        if (append)
            SetFilePointer(file_.get(), 0, nullptr, FILE_END);
        active_ = true;
        return true;
    }

    void setActive(bool on) noexcept { active_ = on; }

    void close() noexcept
    {
        file_.reset();
        active_ = false;
    }

    void write(const char *text) noexcept
    {
        DWORD done;
        if (file_ && text)
            WriteFile(file_.get(), text, static_cast<DWORD>(std::strlen(text)), &done, nullptr);
    }

private:
    SlimLock lock_;
    UniqueHandle file_;
    bool active_ = false;
    char name_[KNL_MAX_PATH] = "C:\\ORIN.ERR";   // until a name is given
};

constinit ErrorLog theLog;

}  // namespace
}  // namespace orin::knl

using orin::knl::theLog;

USHORT ORINAPI KnlErrLogOpen(const char *name, BOOL append) noexcept
{
    auto held = theLog.lock();
    if (theLog.open())
        return 1;
    if (!theLog.start(name, append))
        return 0;
    theLog.write(LINE_END " *** Error Logging Started ***" LINE_END);
    return 1;
}

USHORT __cdecl KnlErrLogPrintf(const char *fmt, ...) noexcept
{
    char text[orin::knl::kFormatMax];
    va_list ap;

    auto held = theLog.lock();
    if (!theLog.active())
        return 0;
    if (fmt) {
        va_start(ap, fmt);
        vsnprintf(text, sizeof text, fmt, ap);
        va_end(ap);
        theLog.write(text);
        theLog.write(LINE_END);
    }
    return 1;
}

void ORINAPI KnlErrLogStop(void) noexcept
{
    auto held = theLog.lock();
    if (theLog.active()) {
        theLog.write(LINE_END " *** Error Logging Stopped ***" LINE_END);
        theLog.setActive(false);
    }
}

void ORINAPI KnlErrLogResume(void) noexcept
{
    auto held = theLog.lock();
    if (theLog.open() && !theLog.active()) {
        theLog.setActive(true);
        theLog.write(LINE_END " *** Error Logging Resumed ***" LINE_END);
    }
}

USHORT ORINAPI KnlErrLogClose(void) noexcept
{
    auto held = theLog.lock();
    if (theLog.open())
        theLog.write(LINE_END " *** Error Logging Closed ***" LINE_END);
    theLog.close();
    return 0;
}

void KnlErrLogWriteLine(const char *text)
{
    auto held = theLog.lock();
    if (theLog.open() && text) {
        theLog.write(text);
        theLog.write(LINE_END);
    }
}
