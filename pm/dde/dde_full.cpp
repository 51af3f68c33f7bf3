/*
 * dde_full.cpp - one whole exchange per call: the full request and the
 * full poke, each with the server's program named apart (Ex) or taken to
 * be the service name.
 *
 * Both run the same steps: the window's input is disabled, the names
 * become string handles, a conversation is opened, and when that fails and
 * a program is known it is started (show command 10, without waiting) and
 * the connection tried once more.  Then the request or send runs, and the
 * owners close the conversation, free the names and enable the window's
 * input again on every path out.
 */
#include "pm/dde/ddeint.h"
#include "opm.h"

namespace orin::dde {

namespace {

/* The names of one exchange and its conversation, opened on construction
 * with the program start and single retry. */
class Exchange {
public:
    Exchange(const char *program, const char *service, const char *topic, const char *item)
        noexcept
        : m_service(service), m_topic(topic), m_item(item)
    {
        // A name that could not be made would widen the connection to any
        // service or topic: such an exchange opens nothing.
        if (m_service.failed() || m_topic.failed() || m_item.failed())
            return;
        if (!m_conv.connect(m_service.get(), m_topic.get()) && program != nullptr) {
            OpmExecProgram(program, kShowProgram);
            m_conv.connect(m_service.get(), m_topic.get());
        }
    }
    HCONV conversation() const { return m_conv.get(); }
    HSZ item() const { return m_item.get(); }

private:
    StringHandle m_service, m_topic, m_item;
    Conversation m_conv;
};

USHORT fullRequest(HWND hwnd, const char *program, const char *service, const char *topic,
                   const char *item, char *buffer, ULONG size) noexcept
{
    InputDisabled input(hwnd);
    if (buffer != nullptr && size != 0)
        buffer[0] = '\0';
    if (instance() == 0)
        return kFail;
    Exchange exchange(program, service, topic, item);
    if (exchange.conversation() == nullptr)
        return kFail;
    return requestItem(exchange.conversation(), exchange.item(), buffer, size);
}

USHORT fullPoke(HWND hwnd, const char *program, const char *service, const char *topic,
                const char *item, const void *data, ULONG length) noexcept
{
    InputDisabled input(hwnd);
    if (instance() == 0)
        return kFail;
    Exchange exchange(program, service, topic, item);
    if (exchange.conversation() == nullptr)
        return kFail;
    if (data == nullptr)
        return kNoData;
    return sendData(exchange.conversation(), exchange.item(), data, length);
}

}  // namespace

}  // namespace orin::dde

using namespace orin::dde;

USHORT ORINAPI OpmDdeFullRequest(HWND hwnd, const char *service, const char *topic,
                                 const char *item, char *buffer, ULONG size) noexcept
{
    return fullRequest(hwnd, service, service, topic, item, buffer, size);
}

USHORT ORINAPI OpmDdeFullRequestEx(HWND hwnd, const char *program, const char *service,
                                   const char *topic, const char *item, char *buffer,
                                   ULONG size) noexcept
{
    return fullRequest(hwnd, program, service, topic, item, buffer, size);
}

USHORT ORINAPI OpmDdeFullPoke(HWND hwnd, const char *service, const char *topic,
                              const char *item, const void *data, ULONG length) noexcept
{
    return fullPoke(hwnd, service, service, topic, item, data, length);
}

USHORT ORINAPI OpmDdeFullPokeEx(HWND hwnd, const char *program, const char *service,
                                const char *topic, const char *item, const void *data,
                                ULONG length) noexcept
{
    return fullPoke(hwnd, program, service, topic, item, data, length);
}
