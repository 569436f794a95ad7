// Changing existing items: deleting, refreshing from disk, renaming (folders with their
// contents), attributes and comments. Each operation marks items inside its own update bracket;
// closing the bracket writes the archive.
#include <algorithm>

#include "zip/os/os.h"
#include "zip/zastrfunc.h"
#include "zip/ziparchiver_shared.h"

namespace tarnwick {
namespace {

// Replaces every occurrence of from in text by to, ignoring case.
std::string replaceIgnoringCase(const std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    const std::string lowerText = ZAAnsiLowerCase(text);
    const std::string lowerFrom = ZAAnsiLowerCase(from);
    std::string out;
    std::size_t at = 0;
    for (;;) {
        const std::size_t hit = lowerText.find(lowerFrom, at);
        if (hit == std::string::npos) break;
        out += text.substr(at, hit - at) + to;
        at = hit + from.size();
    }
    return out + text.substr(at);
}

std::string withSlashes(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// Runs body inside an update bracket; an exception drops the bracket's changes.
template <typename Body>
void inUpdate(TZABaseArchiver& archiver, Body body) {
    archiver.BeginUpdate();
    try {
        body();
        archiver.EndUpdate();
    } catch (...) {
        archiver.CancelUpdate();
        throw;
    }
}

} // namespace

void TZABaseArchiver::markChanged(TDirItem& item, TZAProcessOperation operation) {
    // A rename wins over an attribute or comment change; new data wins over all of them.
    if (item.Modified) {
        const bool keepsData = item.Operation == poChangeAttr || item.Operation == poChangeComment;
        if (!(operation == poRename && keepsData)) return;
    }
    item.Modified = true;
    item.Operation = static_cast<std::uint8_t>(operation);
}

// ---- Batches ---------------------------------------------------------------------------------

void TZABaseArchiver::DeleteFiles() {
    CheckInactive();
    CheckModifySpanning();
    inUpdate(*this, [this] {
        TagFiles();
        ProcessTaggedFiles(poDelete, [this](int index, const std::string&, const std::string&) { DeleteTaggedFile(index); });
    });
}

void TZABaseArchiver::DeleteFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    CheckModifySpanning();
    inUpdate(*this, [&] {
        TagFiles(fileMask, searchAttr, exclusionMask);
        ProcessTaggedFiles(poDelete, [this](int index, const std::string&, const std::string&) { DeleteTaggedFile(index); });
    });
}

void TZABaseArchiver::UpdateFiles() {
    CheckInactive();
    CheckModifySpanning();
    inUpdate(*this, [this] {
        TagFiles();
        ProcessTaggedFiles(poUpdate, [this](int index, const std::string& itemName, const std::string& destDir) {
            UpdateTaggedFile(index, itemName, destDir);
        });
    });
}

void TZABaseArchiver::UpdateFiles(const std::string& fileMask, int searchAttr, const std::string& exclusionMask) {
    CheckInactive();
    CheckModifySpanning();
    inUpdate(*this, [&] {
        TagFiles(fileMask, searchAttr, exclusionMask);
        ProcessTaggedFiles(poUpdate, [this](int index, const std::string& itemName, const std::string& destDir) {
            UpdateTaggedFile(index, itemName, destDir);
        });
    });
}

void TZABaseArchiver::DeleteTaggedFile(int index) { DeleteItem(index); }

void TZABaseArchiver::UpdateTaggedFile(int index, const std::string& itemName, const std::string& destDir) {
    const TDirItem& item = *dirManager_->CentralDir.GetItemPtr(index);
    if (item.IsFolder()) return;
    const std::string path = destDir + itemName;
    if (!zaos::fileExists(path)) return;
    if (!Options.ReplaceReadOnly && (item.ExternalFileAttributes & 1) != 0) return;
    const std::uint32_t itemTime = (static_cast<std::uint32_t>(item.LastModFileDate) << 16) | item.LastModFileTime;
    std::uint32_t fileTime = 0;
    const bool known = zaos::fileDosDateTime(path, fileTime);
    bool update = false;
    switch (Options.OverwriteMode) {
    case omPrompt: {
        std::string shown = itemName;
        update = true;
        DoOnConfirmOverwrite(path, shown, update);
        break;
    }
    case omAlways: update = true; break;
    case omNever: update = false; break;
    case omIfNewer: update = known && fileTime > itemTime; break;
    case omIfOlder: update = known && fileTime < itemTime; break;
    }
    if (update) UpdateItem(index, path);
}

void TZABaseArchiver::DeleteItem(int index) {
    TZADirArray& dir = dirManager_->CentralDir;
    if (index < 0 || index >= dir.GetCount()) throw EZAException(TZANativeError::DeleteItemIndex, this);
    if (UpdateCount <= 0) throw EZAException(TZANativeError::DeleteOutsideUpdate, this);
    dir.DeleteItem(index);
}

// The item keeps its stored name and comment; only its data and what describes it change.
void TZABaseArchiver::UpdateItem(int index, const std::string& sourcePath) {
    TZADirArray& dir = dirManager_->CentralDir;
    if (index < 0 || index >= dir.GetCount()) throw EZAException(TZANativeError::UpdateItemIndex, this);
    if (UpdateCount <= 0) throw EZAException(TZANativeError::UpdateOutsideUpdate, this);
    const TDirItem before = *dir.GetItemPtr(index);
    FillDirItem(index, sourcePath, true);
    TDirItem& item = *dir.GetItemPtr(index);
    item.FileName = before.FileName;
    item.RawFileName = before.RawFileName;
    item.LoadedFileName = before.LoadedFileName;
    item.FileNameLength = before.FileNameLength;
    item.FileComment = before.FileComment;
    item.FileCommentLength = before.FileCommentLength;
    item.GeneralPurposeBitFlag = static_cast<std::uint16_t>(item.GeneralPurposeBitFlag | (before.GeneralPurposeBitFlag & 0x0800));
    item.Operation = poUpdate;
}

// ---- Names, attributes, comments -------------------------------------------------------------

void TZABaseArchiver::renameItem(TDirItem& item, const std::string& oldName, const std::string& newName) {
    if (!(item.Modified && item.Operation == poRename)) item.OldFileName = item.FileName;
    item.FileName = replaceIgnoringCase(item.FileName, oldName, newName);
    item.FileNameLength = static_cast<std::uint16_t>(item.FileName.size());
    markChanged(item, poRename);
}

void TZABaseArchiver::RenameFile(const std::string& oldName, const std::string& newName) {
    CheckInactive();
    inUpdate(*this, [&] {
        TZAArchiveItem found;
        if (!FindFirst(oldName, found, "", kAnyItem)) throw EZAException(TZANativeError::RenameItemNotFound, {oldName}, this);
        TZADirArray& dir = dirManager_->CentralDir;
        const std::string from = withSlashes(oldName);
        const std::string to = withSlashes(newName);
        TDirItem& item = *dir.GetItemPtr(found.InternalSearchRec.Index);
        const bool folder = item.IsFolder();
        std::string folderName = item.FileName;
        renameItem(item, from, to);
        if (folder) {
            // Everything below the folder moves with it.
            if (folderName.empty() || folderName.back() != '/') folderName += '/';
            for (int i = 0; i < dir.GetCount(); ++i) {
                TDirItem& below = *dir.GetItemPtr(i);
                if (i == found.InternalSearchRec.Index || below.FileName.size() <= folderName.size()) continue;
                if (!ZASameText(below.FileName.substr(0, folderName.size()), folderName)) continue;
                std::string toFolder = item.FileName;
                while (!toFolder.empty() && toFolder.back() == '/') toFolder.pop_back();
                if (!(below.Modified && below.Operation == poRename)) below.OldFileName = below.FileName;
                below.FileName = toFolder + "/" + below.FileName.substr(folderName.size());
                below.FileNameLength = static_cast<std::uint16_t>(below.FileName.size());
                markChanged(below, poRename);
            }
        }
    });
}

void TZABaseArchiver::ChangeFilesAttr(const std::string& fileMask, std::uint32_t attributes) {
    CheckInactive();
    inUpdate(*this, [&] {
        TZAArchiveItem found;
        bool any = false;
        for (bool more = FindFirst(fileMask, found, "", kAnyItem); more; more = FindNext(found)) {
            TDirItem& item = *dirManager_->CentralDir.GetItemPtr(found.InternalSearchRec.Index);
            item.ExternalFileAttributes = item.IsFolder() ? (attributes | 0x10) : attributes;
            markChanged(item, poChangeAttr);
            any = true;
        }
        if (!any) throw EZAException(TZANativeError::AttributeItemNotFound, {fileMask}, this);
    });
}

void TZABaseArchiver::ChangeFilesIntAttr(const std::string& fileMask, std::uint16_t attributes) {
    CheckInactive();
    inUpdate(*this, [&] {
        TZAArchiveItem found;
        bool any = false;
        for (bool more = FindFirst(fileMask, found, "", kAnyItem); more; more = FindNext(found)) {
            TDirItem& item = *dirManager_->CentralDir.GetItemPtr(found.InternalSearchRec.Index);
            item.InternalFileAttributes = attributes;
            markChanged(item, poChangeAttr);
            any = true;
        }
        if (!any) throw EZAException(TZANativeError::CommentItemNotFound, {fileMask}, this);
    });
}

void TZABaseArchiver::ChangeFilesComment(const std::string& fileMask, const std::string& comment) {
    CheckInactive();
    inUpdate(*this, [&] {
        TZAArchiveItem found;
        bool any = false;
        for (bool more = FindFirst(fileMask, found, "", kAnyItem); more; more = FindNext(found)) {
            TDirItem& item = *dirManager_->CentralDir.GetItemPtr(found.InternalSearchRec.Index);
            item.FileComment = comment.substr(0, 65535);
            item.FileCommentLength = static_cast<std::uint16_t>(item.FileComment.size());
            markChanged(item, poChangeComment);
            any = true;
        }
        if (!any) throw EZAException(TZANativeError::AttributeItemNotFound, {fileMask}, this);
    });
}

void TZABaseArchiver::SetFileComment(const std::string& comment) {
    CheckInactive();
    CheckModifySpanning();
    if (GetInUpdate() || spanningMode_ != smNone) {
        dirManager_->ArchiveComment = comment.substr(0, 65535);
        return;
    }
    // Through a bracket of its own, so a failed write puts the old bytes back.
    BeginUpdate();
    dirManager_->ArchiveComment = comment.substr(0, 65535);
    try {
        EndUpdate();
    } catch (...) {
        CancelUpdate();
        throw;
    }
}

} // namespace tarnwick
