/*
 * oclres.h - resource ids of the library's system resource modules
 * (engocl.dll, deuocl.dll).  Only #defines: the resource scripts include it.
 */
#ifndef OCLRES_H
#define OCLRES_H

#define OCL_MENU_MAIN        1000   /* menu and icon of a default frame */
#define OCL_ICON_MAIN        1000
#define OCL_IDM_OPEN         1001
#define OCL_IDM_EXIT         1002
#define OCL_IDM_ABOUT        1003
#define OCL_IDS_ALLFILES     1101   /* "All files" */
#define OCL_IDS_OPENFILE     1102   /* "Open file" */
#define OCL_IDS_NOFILE       1103   /* "No file" */
#define OCL_IDS_LANGUAGE     1104   /* the module's language, in itself */

#endif /* OCLRES_H */
