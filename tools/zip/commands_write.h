// The writing commands of tarnwick-zip: add, delete, update, move, rename, comment, attrib, sfx
// and repair. Each opens (or creates) the archive, runs one operation of the component and
// reports failures on standard error.
#pragma once

namespace tarnwick::tool {

bool isWriteCommand(const char* command);
// Exit status: 0 success, 1 when any item failed, 2 on a usage error or an archive that cannot
// be opened or written.
int runWriteCommand(int argc, char** argv);

} // namespace tarnwick::tool
