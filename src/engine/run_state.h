// The wizard's state that a run works on: the folders start-up found, the package header's names
// and counts, and the user's answers. The window fills one from its fields when a run starts.
#pragma once

#include "package/placeholders.h"

#include <cstdint>
#include <string>

namespace tarnwick {

struct TRunState {
    std::string setupFolder;        // the running program's folder, no trailing backslash
    std::string temporaryFolder;    // private to this run, ends with a backslash
    std::string destinationFolder;  // what [INSTALLDIR] stands for
    std::string programFilesFolder; // what [PROGRAMFILES] stands for
    std::string programsMenuFolder; // empty when it could not be read
    std::string desktopFolder;

    std::string productName;
    std::string publisherName;
    std::int32_t mainItemNumber = 0;
    std::int32_t itemCount = 0;
    std::int32_t fileRecordCount = 0;
    std::int32_t registryRecordCount = 0;

    std::string userName;          // NameEdit
    std::string companyName;       // CompanyEdit
    std::string programFolderName; // FolderEdit
};

// The folders the placeholders stand for, with the system's own folders asked for now.
TPlaceholderFolders placeholderFolders(const TRunState& state);

// Registry keys that both runs know by name.
inline constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline std::string productKeyPath(const TRunState& s) { return "SOFTWARE\\" + s.publisherName + "\\" + s.productName; }
// Whether this product's installation created its program folder ("1") or found it there.
inline constexpr const char* kProgramFolderCreatedValue = "Program Folder Created";

} // namespace tarnwick
