#include "engine/item_placement.h"

#include <windows.h>

#include <aclapi.h>

#include <cstring>

namespace tarnwick {
namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || path[slash - 1] == ':') return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// Gives a moved file the permissions of its new folder. A move within a volume keeps the file's
// own list, inherited from the temporary folder in the user's profile, which would leave the
// installed file to this user and the administrators alone. An empty list marked as not
// protected makes the system apply what the new folder passes down, as a copied file gets it.
void inheritFromFolder(const std::string& path) {
    ACL empty;
    if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return;
    SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, &empty,
                          nullptr);
}

} // namespace

bool TItemMover::Move(const std::string& item, const std::string& destination) {
    if (!MoveFileExA(item.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return CopyFileA(item.c_str(), destination.c_str(), FALSE) != 0;
    // Two folders with the same list pass the same entries down: the file already has what its
    // new folder would give it. The reset costs more than the move itself, so it is skipped then.
    if (!passDownTheSame(folderOf(item), folderOf(destination))) inheritFromFolder(destination);
    return true;
}

bool TItemMover::MoveToFreeName(const std::string& item, const std::string& destination) {
    if (!MoveFileExA(item.c_str(), destination.c_str(), MOVEFILE_COPY_ALLOWED)) return false;
    if (!passDownTheSame(folderOf(item), folderOf(destination))) inheritFromFolder(destination);
    return true;
}

bool TItemMover::passDownTheSame(const std::string& folderA, const std::string& folderB) {
    const std::vector<unsigned char>& a = accessListOf(folderA);
    const std::vector<unsigned char>& b = accessListOf(folderB);
    return !a.empty() && a == b;
}

const std::vector<unsigned char>& TItemMover::accessListOf(const std::string& folder) {
    const auto known = accessLists_.find(folder);
    if (known != accessLists_.end()) return known->second;
    std::vector<unsigned char>& bytes = accessLists_[folder];
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) == ERROR_SUCCESS) {
        // No list at all (everyone may do everything) is told apart from an unreadable one.
        if (dacl == nullptr) {
            bytes = {0};
        } else {
            bytes.resize(dacl->AclSize);
            std::memcpy(bytes.data(), dacl, dacl->AclSize);
        }
    }
    if (descriptor) LocalFree(descriptor);
    return bytes;
}

} // namespace tarnwick
