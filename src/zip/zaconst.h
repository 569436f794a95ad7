// Message tables, the texts of the default prompts and the CRC-32 table of the archive component.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

// The component's native error codes, one for each place that raises; an exception carries it
// and the error code it maps to (several native codes share one error code and its message).
enum class TZANativeError : int {
    Unknown = 0,
    SetItemIndex = 1,
    GetItemIndex = 2,
    ItemPointerIndex = 3,
    RemoveItemIndex = 4,
    CompressionModeRange = 5,
    NilStream = 6,
    OldRecordMissing = 7,
    ItemDataInvalid = 8,
    BlankFileName = 9,
    BlankFileNameForMode = 10,
    Reserved11 = 11,
    FileNotFound = 12,
    ArchiveNotOpen = 13,
    Reserved14 = 14,
    ItemNotFound = 15,
    ExtractItemIndex = 16,
    NoSFXStub = 17,
    SFXStubNotFound = 18,
    CannotCreateFile = 19,
    CannotCreateFolder = 20,
    DeleteItemIndex = 21,
    DeleteOutsideUpdate = 22,
    Reserved23 = 23,
    UpdateItemIndex = 24,
    UpdateOutsideUpdate = 25,
    UpdateNotEnded = 26,
    CannotDeleteFile = 27,
    InMemoryCreateOnly = 28,
    InMemoryWithoutFileName = 29,
    RenameItemNotFound = 30,
    AttributeItemNotFound = 31,
    ReadOnly = 32,
    CannotOpenSource = 33,
    CompressedSize = 34,
    NoLocalHeader = 35,
    CannotCreateRepairFile = 36,
    RepairOpenArchive = 37,
    CommentItemNotFound = 38,
    BlankFolder = 39,
    Zip64EndMissing = 40,
    Zip64ItemNotEnabled = 41,
    PasswordItemNotFound = 42,
    Zip64NotEnabled = 43,
    VolumeEndMissing = 44,
    VolumeAborted = 45,
    VolumeWrite = 46,
    Reserved47 = 47,
    ArchiveDamaged = 48,
    SFXOnVolumes = 49,
    AlreadySFX = 50,
    CustomStreamVolumes = 51,
    ModifyVolumes = 52,
    Reserved53 = 53,
    Reserved54 = 54,
    Deflate64 = 55,
    MakeSFXFailed = 56,
    Reserved57 = 57,
    Reserved58 = 58,
    Reserved59 = 59,
    Reserved60 = 60,
};

// One row a native code, in order: the error code it maps to and that code's message (with %s
// and %d where the raise site gives arguments); nullptr where it has none.
struct TZAErrorRow {
    TZANativeError native;
    int errorCode;
    const char* message;
};
extern const TZAErrorRow ZAErrorTable[61];

// Error code for a native code; 0 ("Unknown error") for codes without a message.
int ZANativeToError(int nativeCode);
std::string ZAErrorMessageText(int errorCode);

// Texts of the default dialogs; translations replace these.
extern const char* const _SConfirmOverwrite;
extern const char* const _SPasswordTitle;
extern const char* const _SPasswordPrompt;
extern const char* const _SOnRequestBlankDisk;
extern const char* const _SOnRequestFirstDisk;
extern const char* const _SOnRequestLastDisk;
extern const char* const _SOnRequestMiddleDisk;
extern const char* const _SOnDiskFull;
extern const char* const _SOnProcessFileFailure;
extern const char* const _SWrongDiskRequestLastDisk;

extern const std::uint32_t CRC32_TABLE[256];

} // namespace tarnwick
