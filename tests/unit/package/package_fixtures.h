// A small package with every record kind, shared by the package tests.
#pragma once

#include "package/package_layout.h"

namespace tarnwick::testing {

inline TPackage samplePackage() {
    TPackage p;
    p.header.productName = "Sample Editor";
    p.header.publisherName = "Sample Works";
    p.header.destinationTemplate = "[PROGRAMFILES]\\Sample Editor";
    p.header.pictureName = "intro.jpg";
    p.header.programFolderName = "";
    p.header.reserved = 7;
    p.header.mainItemNumber = 2;
    p.header.itemCount = 3;
    p.files = {
        {frFolder, 0, "[INSTALLDIR]\\docs"},
        {frFile, 1, "[INSTALLDIR]\\docs\\manual.txt"},
        {frFile, 2, "[INSTALLDIR]\\editor.exe"},
        {frFile, kUntrackedItem, "[INSTALLDIR]\\settings.ini"},
    };
    p.registry = {
        {rrKey, rvNone, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Sample Works\\Sample Editor", ""},
        {rrValue, rvString, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Sample Works\\Sample Editor\\Path", "[INSTALLDIR]"},
        {rrValue, rvNumber, "HKEY_CURRENT_USER\\Software\\Sample\\Count", "42"},
    };
    p.shortcuts = {{"[INSTALLDIR]\\docs\\manual.txt", "Manual"}};
    return p;
}

} // namespace tarnwick::testing
