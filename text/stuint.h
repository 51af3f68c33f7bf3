/*
 * stuint.h - the match scanner's cursor record and the primitives that
 * every scanner operation is built on (shared by the scanner's sources).
 */
#ifndef STUINT_H
#define STUINT_H

#include "stu.h"

#ifdef __cplusplus
extern "C" {
#endif

#define STU_WINDOW   256            /* bytes of a file cursor's window */
#define STU_NO_FILE  0xFFFFFFFFUL   /* file field of a text cursor */

struct _STUMATCH {
    BYTE  *buffer;       /* start of the text, or of the file window */
    BYTE  *pos;          /* current position inside the buffer */
    ULONG  file;         /* STU_NO_FILE, or the open file */
    ULONG  winOffset;    /* file offset of buffer[0] */
    USHORT winLen;       /* valid bytes in the window (0..STU_WINDOW) */
    ULONG  ownsBuffer;   /* 1: the buffer is freed at close */
    void  *ns;           /* name space the file was opened in */
};

/* A place in the text that survives window reloads. */
typedef size_t STUMARK;

/* Makes sure n bytes from the position are in memory, reloading a file
 * window when needed; answers how many are (fewer only at the end of a
 * file or for n beyond the window).  For a text cursor it answers n: the
 * terminator stops every comparison. */
size_t  StuEnsure(STUMATCH *c, size_t n);
/* Moves the position n bytes on (they must be in memory). */
void    StuAdvance(STUMATCH *c, size_t n);
/* Byte length (1 or 2) and value of the character at the position; 0 and
 * length 0 at the end of the text. */
USHORT  StuCharAt(STUMATCH *c, size_t *len);
STUMARK StuMark(const STUMATCH *c);
void    StuRestore(STUMATCH *c, STUMARK mark);
/* 1 when the text at the position starts with the literal (not consumed). */
int     StuLooksAt(STUMATCH *c, const char *literal, size_t len, int ignoreCase);

#ifdef __cplusplus
}
#endif

#endif /* STUINT_H */
