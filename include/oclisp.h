/*
 * oclisp.h - OcLisp: an object over one Lisp session.
 *
 * The object holds two things: the session handle (null while no session
 * is open) and the last error code.  Each member forwards to the Lsp call
 * of the same stem with the object's session.  Members that return a
 * code keep it as the last error and answer non-zero when it is 0;
 * GetLastError() reports the outcome of the last such call.  The result
 * builders (ResAdd...) clear the last error and use it as their error
 * word.  A session still open is ended by the destructor.  An object owns
 * its session alone: it cannot be copied.  It has no virtual members.
 */
#ifndef OCLISP_H
#define OCLISP_H

#include "lsp.h"

#ifdef __cplusplus

class ORIN_CLASS OcLisp {
public:
    OcLisp();
    ~OcLisp();
    OcLisp(const OcLisp &) = delete;
    OcLisp &operator=(const OcLisp &) = delete;

    /* Sessions and evaluation */
    int SessionStart(unsigned short bufferSize, void *userData);
    int SessionEnd();
    int ParseExpressions(char *text, char *result, unsigned short size, void *userData);

    /* Module functions, callbacks, errors and variables */
    int ModFuncRegister(unsigned short count, LSPMODFUNCDESC *table, LSPMODFUNC fn);
    int ModFuncUnregister(LSPMODFUNC fn);
    int SetErrorFunction(LSPERRORFUNC fn);
    int SetTraceFunction(LSPTRACEFUNC fn);
    int SetLastError(unsigned int code, const char *text);
    int SetVarString(const char *name, const char *value);

    /* Printing and evaluating nodes */
    int ListEvalToString(PLSPLIST node, char *buffer, unsigned short size);
    int MakeListString(PLSPLIST node, char *buffer, unsigned short size);

    /* Result building */
    PLSPLIST ResAddString(PLSPLIST prev, const char *text);
    PLSPLIST ResAddLong(PLSPLIST prev, long value);
    PLSPLIST ResAddDouble(PLSPLIST prev, double value);
    PLSPLIST ResAddDateTime(PLSPLIST prev, double julian);
    PLSPLIST ResAddBool(PLSPLIST prev, int value);
    PLSPLIST ResAddNil(PLSPLIST prev);
    PLSPLIST ResAddList(PLSPLIST prev);
    PLSPLIST ResEndList(PLSPLIST list);
    void ResFree(PLSPLIST node);

    /* Reading nodes */
    void NodeGetString(PLSPLIST node, char *buffer, unsigned short size);
    char *NodeGetValuePsz(PLSPLIST node);
    long NodeGetLong(PLSPLIST node);
    double NodeGetDouble(PLSPLIST node);
    int NodeGetBool(PLSPLIST node);
    unsigned short CountParams(PLSPLIST node);

    /* The last-error text of the interpreter, and the object's last code */
    void GetLastError(char *buffer, unsigned short size);
    unsigned int GetLastError() const { return m_lastError; }

    operator void *() const { return m_session; }

private:
    int Keep(unsigned int code);

    HLSPSESSION m_session;
    unsigned int m_lastError;
};

#endif /* __cplusplus */

#endif /* OCLISP_H */
