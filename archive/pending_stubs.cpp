// Stand-ins for the index seam and the field-file calls while those are
// written on their own branches; each branch deletes the lines it replaces.
#include "archive/arcint.h"
USHORT ORINAPI BrdFldCopyFromDisk(BrdDocument *, const char *, const char *, BOOL) noexcept { return 50; }
USHORT ORINAPI BrdFldCompareWithDisk(BrdDocument *, const char *, const char *, USHORT, USHORT *) noexcept { return 50; }
