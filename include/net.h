/*
 * net.h - network identity and drive mapping: the network user name, a
 * workstation identifier, the kind of network, translation between paths
 * on mapped drives and their universal \\server\share form, and printer
 * capture.  Calls return 0 or NET_ERR_FAILURE (network absent or name not
 * available) unless stated.
 */
#ifndef NET_H
#define NET_H

#include "orinbase.h"

ORIN_BEGIN_DECLS

#define NET_ERR_FAILURE     ORIN_ERR_NETWORK   /* 0xFF20 */
#define NET_NAME_BUFFER     50                 /* user name / station id buffers */
#define NET_NOT_MAPPED      ORIN_ERR_GENERAL   /* name is not on a mapped drive */

/* NetGetNetworkUserNameForNet: which source to ask. */
#define NET_USER_ANY        0   /* directory name first, then the host's */
#define NET_USER_DIRECTORY  2   /* only the Novell directory name */

/* NetQueryNetworkType answers. */
#define NET_TYPE_NONE       0
#define NET_TYPE_NOVELL     2
#define NET_TYPE_HOST       3
#define NET_TYPE_DIRECTORY  4

USHORT ORINAPI NetInitNetworking(void) ORIN_NOEXCEPT;
void   ORINAPI NetDeinitNetworking(void) ORIN_NOEXCEPT;
USHORT ORINAPI NetIsNovell(void) ORIN_NOEXCEPT;
USHORT ORINAPI NetGetNetworkUserName(char *buffer) ORIN_NOEXCEPT;
USHORT ORINAPI NetGetNetworkUserNameForNet(char *buffer, USHORT net) ORIN_NOEXCEPT;
USHORT ORINAPI NetGetNetworkStationID(char *buffer) ORIN_NOEXCEPT;
USHORT ORINAPI NetQueryNetworkType(void) ORIN_NOEXCEPT;
USHORT ORINAPI NetCapturePrinter(const char *localDevice, const char *remoteName) ORIN_NOEXCEPT;
USHORT ORINAPI NetDecapturePrinter(void) ORIN_NOEXCEPT;
USHORT ORINAPI NetGetUniversalName(char *out, const char *in) ORIN_NOEXCEPT;
USHORT ORINAPI NetGetMappedName(char *out, const char *in) ORIN_NOEXCEPT;

ORIN_END_DECLS

#endif /* NET_H */
