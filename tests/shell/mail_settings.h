// The switches that enable mail on a host - the value "MAPI" of section
// "Mail" of the Windows profile and the value "MAPI" under the messaging
// subsystem's registry key - set by tests and put back when they end; and
// the environment the stand-in MAPI32.DLL and TAPI32.DLL read and write.
#ifndef TESTS_SHELL_MAIL_SETTINGS_H
#define TESTS_SHELL_MAIL_SETTINGS_H

#include <windows.h>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace mailtest {

constexpr char kMessagingKey[] = "SOFTWARE\\Microsoft\\Windows Messaging Subsystem";

/* A registry value as raw bytes and type; none when absent. */
struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
};

inline std::optional<RegValue> readRegValue()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMessagingKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue v{0, std::vector<BYTE>(256)};
    DWORD size = static_cast<DWORD>(v.data.size());
    LONG rc = RegQueryValueExA(key, "MAPI", nullptr, &v.type, v.data.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    v.data.resize(size);
    return v;
}

inline void writeRegValue(const std::optional<RegValue> &v)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kMessagingKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    if (v)
        RegSetValueExA(key, "MAPI", 0, v->type, v->data.data(), static_cast<DWORD>(v->data.size()));
    else
        RegDeleteValueA(key, "MAPI");
    RegCloseKey(key);
}

inline void setRegString(const char *text)
{
    writeRegValue(RegValue{REG_SZ, std::vector<BYTE>(text, text + strlen(text) + 1)});
}

inline void setRegNumber(DWORD n)
{
    writeRegValue(RegValue{REG_DWORD, std::vector<BYTE>((BYTE *)&n, (BYTE *)&n + sizeof n)});
}

inline std::string profileMail()
{
    char buf[64];
    GetProfileStringA("Mail", "MAPI", "<none>", buf, sizeof buf);
    return buf;
}

inline void setProfileMail(const char *value)
{
    WriteProfileStringA("Mail", "MAPI", value);
}

/* Keeps both switches as they were and puts them back at the end. */
class SavedSwitches {
public:
    SavedSwitches() : reg_(readRegValue()), profile_(profileMail()) {}
    ~SavedSwitches()
    {
        writeRegValue(reg_);
        setProfileMail(profile_ == "<none>" ? nullptr : profile_.c_str());
    }

private:
    std::optional<RegValue> reg_;
    std::string profile_;
};

/* Mail on through the profile, nothing in the registry. */
inline void enableMail()
{
    setProfileMail("1");
    writeRegValue(std::nullopt);
}

inline void disableMail()
{
    setProfileMail("0");
    writeRegValue(std::nullopt);
}

inline std::string env(const char *name)
{
    char buf[4096];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

inline void setEnv(const char *name, const char *value)
{
    SetEnvironmentVariableA(name, value);
}

/* Forgets what the stand-ins noted of earlier calls. */
inline void clearCallLog()
{
    for (const char *fn : {"MAPILogon", "MAPILogoff", "MAPISendMail", "MAPISendDocuments",
                           "MAPIFindNext", "MAPIReadMail", "MAPISaveMail", "MAPIDeleteMail",
                           "MAPIAddress", "MAPIDetails", "MAPIResolveName"})
        setEnv((std::string("FAKEMAPI_CALL_") + fn).c_str(), nullptr);
    setEnv("FAKETAPI_CALL", nullptr);
}

inline bool mapiLoaded()
{
    return GetModuleHandleA("MAPI32.DLL") != nullptr;
}

}  // namespace mailtest

#endif
