/*
 * win_class.cpp - the PM class table and class registration.
 *
 * Every PM class is a native class whose procedure is the front end
 * OWMFrontEndWndProc, with 24 window extra bytes (the window record
 * pointer at byte 8, the PM marker at byte 16).  The library also keeps
 * its own table of at most 100 entries (name, PM procedure, window-data
 * size, PM class style) in registration order; the front end finds a
 * window's PM procedure there when the window is created.  Names compare
 * byte for byte.  Removing an entry closes the gap and unregisters its
 * native class; windows still alive keep their share of the entry.
 */
#include <algorithm>
#include <cstring>
#include <vector>
#include "frame/boundary.h"
#include "pm/pmint.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;   // this module's own image

namespace orin::pm {
namespace {

constexpr UINT kNativeClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
constexpr int kSmallIconSize = 16;

/* A table slot: the class its windows share, and the native class
 * registered for it, which is unregistered when the slot goes. */
class TableEntry {
public:
    explicit TableEntry(ClassRef cls) noexcept : cls_(std::move(cls)) {}
    TableEntry(TableEntry &&other) noexcept : cls_(std::move(other.cls_)) {}
    TableEntry &operator=(TableEntry &&other) noexcept
    {
        if (this != &other) {
            unregister();
            cls_ = std::move(other.cls_);
        }
        return *this;
    }
    TableEntry(const TableEntry &) = delete;
    TableEntry &operator=(const TableEntry &) = delete;
    ~TableEntry() { unregister(); }

    const ClassRef &cls() const noexcept { return cls_; }

private:
    void unregister() noexcept
    {
        if (cls_)
            UnregisterClassA(cls_->name.c_str(), cls_->hinst);
        cls_.reset();
    }

    ClassRef cls_;
};

/* Belongs to the GUI thread that registers the classes (normally at
 * start-up); windows created on other threads only read it. */
constinit Lasting<std::vector<TableEntry>> classTable;

std::vector<TableEntry> &table() noexcept
{
    return classTable.value;
}

bool isClassName(const char *name) noexcept
{
    return name && !IS_INTRESOURCE(name);
}

std::vector<TableEntry>::iterator findEntry(const char *name) noexcept
{
    return std::find_if(table().begin(), table().end(),
                        [name](const TableEntry &e) { return e.cls()->name == name; });
}

/* Registers the native class; an existing native class of that name is
 * accepted (it may survive a failed or repeated registration). */
bool registerNative(HINSTANCE hinst, const char *name, ULONG flStyle) noexcept
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = kNativeClassStyle | ((flStyle & PM_CS_SAVEBITS) ? CS_SAVEBITS : 0);
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(OWMFrontEndWndProc);
    wc.cbWndExtra = kWndExtraBytes;
    wc.hInstance = hinst;
    wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hIconSm = static_cast<HICON>(LoadImageA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION),
                                               IMAGE_ICON, kSmallIconSize, kSmallIconSize,
                                               LR_SHARED));
    wc.lpszClassName = name;
    if (RegisterClassExA(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        return true;

    WNDCLASSA plain = {};
    plain.style = wc.style;
    plain.lpfnWndProc = wc.lpfnWndProc;
    plain.cbWndExtra = kWndExtraBytes;
    plain.hInstance = hinst;
    plain.hIcon = wc.hIcon;
    plain.lpszClassName = name;
    return RegisterClassA(&plain) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HINSTANCE OwmLibInstance() noexcept
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

ClassRef OwmFindClass(const char *name) noexcept
{
    if (!isClassName(name))
        return nullptr;
    auto it = findEntry(name);
    return it == table().end() ? nullptr : it->cls();
}

void OwmFreeClassTable() noexcept
{
    while (!table().empty())
        table().pop_back();             // the newest class first
    std::vector<TableEntry>().swap(table());
    OwmClassesChanged();
}

}  // namespace orin::pm

using namespace orin::pm;

BOOL ORINAPI WinRegisterClass(HAB hab, const char *pszClassName, PFNWP pfnWndProc,
                              ULONG flStyle, USHORT cbWindowData) noexcept
{
    if (!isClassName(pszClassName) || !*pszClassName) {
        SetLastError(ORIN_ERR_INVALID_PARAM);
        return FALSE;
    }
    if (findEntry(pszClassName) != table().end())
        return TRUE;
    HINSTANCE hinst = hab ? static_cast<HINSTANCE>(hab) : OwmLibInstance();
    if (!registerNative(hinst, pszClassName, flStyle))
        return FALSE;
    // From here on a failure leaves the native class registered.
    if (table().size() >= kMaxClasses) {
        SetLastError(ORIN_ERR_NO_MEMORY);
        return FALSE;
    }
    return orin::guardValue<BOOL>(FALSE, [&] {
        auto cls = std::make_shared<OWMCLASS>();
        cls->name = pszClassName;
        cls->pfnWndProc = pfnWndProc;
        cls->cbWindowData = cbWindowData;
        cls->flStyle = flStyle;
        cls->hinst = hinst;
        table().emplace_back(std::move(cls));
        OwmClassesChanged();
        return TRUE;
    });
}

BOOL ORINAPI WinUnRegisterClass(HAB hab, const char *pszClassName) noexcept
{
    if (!isClassName(pszClassName))
        return FALSE;
    auto it = findEntry(pszClassName);
    if (it == table().end())
        return FALSE;
    table().erase(it);
    OwmClassesChanged();
    return TRUE;
}
