// Where our programs may load DLLs from. Setup runs elevated from a folder anyone can write into
// (Downloads, a share), and Windows searches a program's own folder first for every DLL that is
// not in its KnownDLLs list, so a DLL planted beside setup.exe would run with administrator rights.
//
// Two rules, both needed:
//  - restrictDllSearchToSystemFolder() is the first call of every program entry: later
//    LoadLibrary calls, ours and those Windows makes on our behalf (with their dependencies),
//    search only the system folder.
//  - The import tables name KnownDLLs only (a test checks every program we ship). Any other
//    system library, comctl32 above all, is loaded at run time through loadSystemLibrary().
#pragma once

#include <windows.h>

namespace tarnwick {

// Returns true when SetDefaultDllDirectories (Windows 8, or Windows 7 with KB2533623) put the
// restriction in force. On older systems it removes the current folder from the search order,
// the most they offer; loadSystemLibrary() still takes libraries from the system folder by path.
bool restrictDllSearchToSystemFolder();

// Loads a library by file name from the system folder only; nullptr (with the last error set)
// when it is not there.
HMODULE loadSystemLibrary(const char* fileName);

}  // namespace tarnwick
