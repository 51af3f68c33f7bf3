/*
 * rtpaint.h - painting rich-text strings (rt.h) into presentation spaces
 * (gpi.h): font sets, compiled contexts, drawing runs, measuring, finding
 * line breaks and word-wrapped painting, also rotated.
 *
 * Font sets: putting a context into a PS creates, for context entry i,
 * four logical fonts with the local ids 4i+1 (normal), 4i+2 (italic),
 * 4i+3 (bold) and 4i+4 (bold italic).  A run is drawn with the font id
 * (word AND 0x3FF) + 1; an id that cannot be selected falls back to the
 * PS's default font 4095.  The ids 4091..4094 are taken for a moment by
 * the half-size fonts of positioned text (p1, p2).
 *
 * A compiled context keeps a memory device context and PS of its own in
 * which the fonts of a context are worked out once (face, cell height for
 * the device's resolution, weight, slant); putting it into further PSs
 * makes their fonts from those attributes without reading the context
 * again.  Entries added later reach the PSs it is put into afterwards.
 *
 * Choices made here:
 *   - A run's text box is measured from its glyph advances (the native
 *     text extent), above = the font's ascent (plus the raise of p2),
 *     below = its descent; the position advances by the box width.
 *   - A font's cell height is the entry's point size at the device's
 *     vertical resolution; the half-size fonts have half the cell height.
 *   - Lines break where the measured width would pass the maximum; text
 *     that fits exactly stays on the line.
 *   - Paragraph ends: "\n" (a "\r" before it is dropped).
 *   - RTSTRBOX: yTop = extent above the baseline, yBottom = minus the
 *     extent below, cx = width; a line is yTop - yBottom + 1 high.
 *   - Flags of the rectangle calls: RT_PAINT_CLIP clips to the rectangle,
 *     RT_PAINT_ERASE fills it with white first.  The
 *     character-string level calls always clip and never erase.
 *   - The wrap calls answer the number of lines drawn.
 *
 * Failures: BOOL calls answer FALSE and counts 0 with the last error set:
 * 87 for a null argument, 6 for a font set or compiled context that is not
 * live or belongs to another PS, 8 when memory runs out; a bad PS handle
 * keeps the Gpi family's code.  Angles other than 0, 90, 180 and 270 draw
 * nothing (87).
 */
#ifndef RTPAINT_H
#define RTPAINT_H

#include "gpi.h"
#include "rt.h"

ORIN_BEGIN_DECLS

#define RT_FONTS_PER_ENTRY   4
#define RT_FONT_DEFAULT      4095
#define RT_FONT_HALF_FIRST   4091
#define RT_RULE_COLOR        15      /* colour of the x-code rule line */
#define RT_RULE_RIGHT        1000    /* the rule runs from x = 0 to here */

#define RT_PAINT_CLIP        0x0001UL
#define RT_PAINT_ERASE       0x0002UL

typedef struct _RTFONTSET *PRTFONTSET;         /* owned by the family */
typedef struct _RTCOMPCONTEXT *PRTCOMPCONTEXT; /* owned by the family */

#pragma pack(push, 2)
typedef struct _RTSTRBOX {
    LONG yTop;       /* extent above the baseline */
    LONG yBottom;    /* minus the extent below the baseline */
    LONG cx;         /* width */
} RTSTRBOX, *PRTSTRBOX;

typedef struct _RTSTRINFO {
    RTSTRBOX box;
    ULONG cChars;    /* visible characters */
    ULONG cRuns;     /* runs (an empty string has one) */
} RTSTRINFO, *PRTSTRINFO;
#pragma pack(pop)

/* Font sets and compiled contexts */
PRTFONTSET ORINAPI RtStrPutContextIntoPS(HPS hps, PRTCONTEXT ctx) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrReleaseContextFromPS(HPS hps, PRTFONTSET fs, PRTCONTEXT ctx) ORIN_NOEXCEPT;
PRTCOMPCONTEXT ORINAPI RtStrCreateCompContext(PRTCONTEXT ctx, HDC hdcDevice) ORIN_NOEXCEPT;
USHORT ORINAPI RtStrAddCompContextEntry(PRTCOMPCONTEXT cc, const char *face, SHORT size) ORIN_NOEXCEPT;
PRTFONTSET ORINAPI RtStrPutCompContextIntoPS(HPS hps, PRTCOMPCONTEXT cc) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrReleaseCompContextFromPS(HPS hps, PRTCOMPCONTEXT cc) ORIN_NOEXCEPT;
PRTCONTEXT ORINAPI RtStrDestroyCompContext(PRTCOMPCONTEXT cc) ORIN_NOEXCEPT;

/* Drawing */
BOOL   ORINAPI RtStrCharString(HPS hps, PRTFONTSET fs, const char *s) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrCharStringAt(HPS hps, PRTFONTSET fs, const PM_POINTL *pt,
                                 const char *s) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrCharStringRot(HPS hps, PRTFONTSET fs, const char *s, LONG angle) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrCharStringAtRot(HPS hps, PRTFONTSET fs, const PM_POINTL *pt, const char *s,
                                    LONG angle) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrOutAt(HPS hps, PRTFONTSET fs, PM_POINTL *pt, USHORT fontId, USHORT attributes,
                          USHORT color, USHORT background, const char *text,
                          LONG length) ORIN_NOEXCEPT;

/* Measuring: widths of the visible characters (widths may be null to
 * count them), line breaks, boxes */
ULONG  ORINAPI RtStrQueryWidthTable(HPS hps, PRTFONTSET fs, const char *s, LONG *widths,
                                    ULONG maxWidths) ORIN_NOEXCEPT;
char  *ORINAPI RtStrFindWrapPos(HPS hps, PRTFONTSET fs, const char *s, LONG maxWidth,
                                USHORT word) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrQueryBox(HPS hps, PRTFONTSET fs, const char *s, RTSTRBOX *box) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrQueryInfo(HPS hps, PRTFONTSET fs, const char *s, RTSTRINFO *info) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrQueryStringRect(HPS hps, PRTFONTSET fs, const char *s, const PM_POINTL *pt,
                                    PM_RECTL *rect) ORIN_NOEXCEPT;

/* Rectangles: once, and word-wrapped (angle 0, 90, 180, 270) */
BOOL   ORINAPI RtPaintStrRect(HPS hps, PRTFONTSET fs, const char *s, const PM_RECTL *rect,
                              ULONG flags) ORIN_NOEXCEPT;
BOOL   ORINAPI RtStrCharStringRect(HPS hps, PRTFONTSET fs, const char *s,
                                   const PM_RECTL *rect) ORIN_NOEXCEPT;
LONG   ORINAPI RtPaintStrWrapRect(HPS hps, PRTFONTSET fs, const char *s, const PM_RECTL *rect,
                                  ULONG flags, LONG angle) ORIN_NOEXCEPT;
LONG   ORINAPI RtStrCharStringWrapRect(HPS hps, PRTFONTSET fs, const char *s,
                                       const PM_RECTL *rect) ORIN_NOEXCEPT;
LONG   ORINAPI RtStrCharStringWrapRectRot(HPS hps, PRTFONTSET fs, const char *s,
                                          const PM_RECTL *rect, LONG angle) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* RTPAINT_H */
