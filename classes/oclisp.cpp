/*
 * oclisp.cpp - OcLisp: a thin object over one Lisp session.
 *
 * Every member forwards to the Lsp call with the stored session handle.
 * A call made while no session is open reaches the Lsp call with a null
 * handle, which refuses it with LSPERR_HANDLE like any bad handle.
 * Ending a session clears the handle unless the interpreter refused to
 * end it (a session cannot end while it is evaluating).
 */
#include "oclisp.h"

namespace {

constexpr unsigned int kNoSession = 65535;   // SessionStart could not create one

}  // namespace

OcLisp::OcLisp() : m_session(nullptr), m_lastError(0) {}

OcLisp::~OcLisp()
{
    SessionEnd();
}

int OcLisp::Keep(unsigned int code)
{
    m_lastError = code;
    return code == 0;
}

int OcLisp::SessionStart(unsigned short bufferSize, void *userData)
{
    SessionEnd();
    m_session = LspSessionStart(bufferSize, userData);
    return Keep(m_session ? 0 : kNoSession);
}

int OcLisp::SessionEnd()
{
    if (!m_session)
        return Keep(0);
    USHORT rc = LspSessionEnd(m_session);
    if (rc == 0 || rc == LSPERR_HANDLE)
        m_session = nullptr;
    return Keep(rc);
}

int OcLisp::ParseExpressions(char *text, char *result, unsigned short size, void *userData)
{
    return Keep(LspParseExpressions(m_session, text, result, size, userData));
}

int OcLisp::ModFuncRegister(unsigned short count, LSPMODFUNCDESC *table, LSPMODFUNC fn)
{
    return Keep(LspModFuncRegister(m_session, count, table, fn));
}

int OcLisp::ModFuncUnregister(LSPMODFUNC fn)
{
    return Keep(LspModFuncUnregister(m_session, fn));
}

int OcLisp::SetErrorFunction(LSPERRORFUNC fn)
{
    return Keep(LspSetErrorFunction(m_session, fn));
}

int OcLisp::SetTraceFunction(LSPTRACEFUNC fn)
{
    return Keep(LspSetTraceFunction(m_session, fn));
}

int OcLisp::SetLastError(unsigned int code, const char *text)
{
    return Keep(LspSetLastErr(m_session, code, text));
}

int OcLisp::SetVarString(const char *name, const char *value)
{
    return Keep(LspSetVarString(m_session, name, value));
}

int OcLisp::ListEvalToString(PLSPLIST node, char *buffer, unsigned short size)
{
    return Keep(LspListEvalToString(m_session, node, buffer, size));
}

int OcLisp::MakeListString(PLSPLIST node, char *buffer, unsigned short size)
{
    return Keep(LspMakeListString(m_session, node, buffer, size));
}

PLSPLIST OcLisp::ResAddString(PLSPLIST prev, const char *text)
{
    m_lastError = 0;
    return LspResAddString(m_session, prev, text, &m_lastError);
}

PLSPLIST OcLisp::ResAddLong(PLSPLIST prev, long value)
{
    m_lastError = 0;
    return LspResAddLong(m_session, prev, value, &m_lastError);
}

PLSPLIST OcLisp::ResAddDouble(PLSPLIST prev, double value)
{
    m_lastError = 0;
    return LspResAddDouble(m_session, prev, value, &m_lastError);
}

PLSPLIST OcLisp::ResAddDateTime(PLSPLIST prev, double julian)
{
    m_lastError = 0;
    return LspResAddDateTime(m_session, prev, julian, &m_lastError);
}

PLSPLIST OcLisp::ResAddBool(PLSPLIST prev, int value)
{
    m_lastError = 0;
    return LspResAddBool(m_session, prev, value, &m_lastError);
}

PLSPLIST OcLisp::ResAddNil(PLSPLIST prev)
{
    m_lastError = 0;
    return LspResAddNil(m_session, prev, &m_lastError);
}

PLSPLIST OcLisp::ResAddList(PLSPLIST prev)
{
    m_lastError = 0;
    return LspResAddList(m_session, prev, &m_lastError);
}

PLSPLIST OcLisp::ResEndList(PLSPLIST list)
{
    m_lastError = 0;
    return LspResEndList(m_session, list, &m_lastError);
}

void OcLisp::ResFree(PLSPLIST node)
{
    LspResFree(m_session, node);
}

void OcLisp::NodeGetString(PLSPLIST node, char *buffer, unsigned short size)
{
    LspNodeGetString(m_session, node, buffer, size);
}

char *OcLisp::NodeGetValuePsz(PLSPLIST node)
{
    return LspNodeGetValuePsz(m_session, node);
}

long OcLisp::NodeGetLong(PLSPLIST node)
{
    return LspNodeGetLong(m_session, node);
}

double OcLisp::NodeGetDouble(PLSPLIST node)
{
    return LspNodeGetDouble(m_session, node);
}

int OcLisp::NodeGetBool(PLSPLIST node)
{
    return LspNodeGetBool(m_session, node);
}

unsigned short OcLisp::CountParams(PLSPLIST node)
{
    return LspCountParams(m_session, node);
}

void OcLisp::GetLastError(char *buffer, unsigned short size)
{
    LspGetLastErr(m_session, buffer, size);
}
