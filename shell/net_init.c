/*
 * net_init.c - start and stop of the network layer.  The optional network
 * client libraries are not looked for yet: the layer reports that no such
 * client is present, and every network query falls back to the host's own
 * networking calls.
 */
#include "frame/knlint.h"

USHORT NetInitNetworking(void)
{
    return 0;
}

void NetDeinitNetworking(void)
{
}
