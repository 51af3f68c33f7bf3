// Stand-ins for the index seam and the field-file calls while those are
// written on their own branches; each branch deletes the lines it replaces.
#include "archive/arcint.h"
namespace orin::arc {
void keysBefore(BrdDocument &, const char *) noexcept {}
void keysAfter(BrdDocument &, const char *) noexcept {}
void removeDocumentKeys(BrdDocument &) noexcept {}
USHORT openListedIndexes(BrcArchive &) noexcept { return 0; }
USHORT closeAllIndexes(BrcArchive &) noexcept { return 0; }
}
