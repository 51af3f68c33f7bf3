/*
 * ddeint.h - what the files of the DDE family share: the process-wide
 * instance, owners for the system's string, data and conversation handles
 * and for a window's disabled input, and the two transactions every
 * conversation call is made of.  Not part of the exported interface.
 *
 * Threads: the instance and the application callback are process-wide
 * and unguarded; the family belongs to the thread that initialised DDE.
 */
#ifndef ORIN_PM_DDE_DDEINT_H
#define ORIN_PM_DDE_DDEINT_H

#include "opmdde.h"

namespace orin::dde {

inline constexpr USHORT kFail = OPMDDE_FAIL;
inline constexpr USHORT kNoData = ORIN_ERR_INVALID_PARAM;
inline constexpr USHORT kShowProgram = 10;  // show command of a started server

DWORD instance() noexcept;

/* A string handle made from a text (none for a null text), freed with the
 * instance it was made in. */
class StringHandle {
public:
    explicit StringHandle(const char *text) noexcept;
    ~StringHandle();
    StringHandle(const StringHandle &) = delete;
    StringHandle &operator=(const StringHandle &) = delete;
    HSZ get() const { return m_hsz; }
    /* True when a text was given but no handle could be made. */
    bool failed() const { return m_failed; }

private:
    DWORD m_instance;
    HSZ m_hsz;
    bool m_failed;
};

/* A conversation, disconnected when the owner ends. */
class Conversation {
public:
    Conversation() noexcept : m_conv(nullptr) {}
    ~Conversation();
    Conversation(const Conversation &) = delete;
    Conversation &operator=(const Conversation &) = delete;
    HCONV get() const { return m_conv; }
    bool open() const { return m_conv != nullptr; }
    /* Connects unless already connected; true when a conversation is open. */
    bool connect(HSZ service, HSZ topic) noexcept;

private:
    HCONV m_conv;
};

/* A window whose input stays disabled while the owner lives. */
class InputDisabled {
public:
    explicit InputDisabled(HWND hwnd) noexcept;
    ~InputDisabled();
    InputDisabled(const InputDisabled &) = delete;
    InputDisabled &operator=(const InputDisabled &) = delete;

private:
    HWND m_hwnd;
};

/* Removes acknowledgements already queued for the conversation's window:
 * stale answers of some hosts' servers to an earlier request. */
void dropStaleAcks(HCONV conv) noexcept;

/* After a request's data: on a host whose servers were seen to follow the
 * data with an acknowledgement, waits for that one and removes it. */
void awaitTrailingAck(HCONV conv) noexcept;

/* Requests the item and copies at most size bytes of the answer into the
 * buffer when one is given: 0, or kFail when no data arrived. */
USHORT requestItem(HCONV conv, HSZ item, void *buffer, ULONG size) noexcept;

/* Sends data as a poke of the item, or as an execute when there is no
 * item: 0, or the instance's DDE error. */
USHORT sendData(HCONV conv, HSZ item, const void *data, DWORD length) noexcept;

}  // namespace orin::dde

#endif /* ORIN_PM_DDE_DDEINT_H */
