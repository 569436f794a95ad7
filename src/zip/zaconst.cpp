// The message tables, the prompt texts and the CRC-32 table.
#include "zip/zaconst.h"

#include <iterator>

namespace tarnwick {

// Native codes in order; error codes 34 to 40 have no row and so no text, and 57 to 60 map to
// -1, which has none either: both read as "Unknown error".
const TZAErrorRow ZAErrorTable[61] = {
    {TZANativeError::Unknown, 0, "Unknown error"},
    {TZANativeError::SetItemIndex, 1, "Index out of bounds"},
    {TZANativeError::GetItemIndex, 1, "Index out of bounds"},
    {TZANativeError::ItemPointerIndex, 1, "Index out of bounds"},
    {TZANativeError::RemoveItemIndex, 1, "Index out of bounds"},
    {TZANativeError::CompressionModeRange, 2, "Invalid compression mode. Mode must be in [0-9] range"},
    {TZANativeError::NilStream, 3, "Unexpected nil pointer"},
    {TZANativeError::OldRecordMissing, 1, "Index out of bounds"},
    {TZANativeError::ItemDataInvalid, 4, "Invalid size or check sum of file or unsupported compression format"},
    {TZANativeError::BlankFileName, 5, "File name is blank. Specify appropriate file name"},
    {TZANativeError::BlankFileNameForMode, 5, "File name is blank. Specify appropriate file name"},
    {TZANativeError::Reserved11, 6, "File \"%s\" not found"},
    {TZANativeError::FileNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::ArchiveNotOpen, 7, "Archive is not open"},
    {TZANativeError::Reserved14, 7, "Archive is not open"},
    {TZANativeError::ItemNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::ExtractItemIndex, 1, "Index out of bounds"},
    {TZANativeError::NoSFXStub, 8, "SFXStub property is not specified"},
    {TZANativeError::SFXStubNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::CannotCreateFile, 9, "Cannot create file \"%s\""},
    {TZANativeError::CannotCreateFolder, 10, "Cannot create directory \"%s\""},
    {TZANativeError::DeleteItemIndex, 1, "Index out of bounds"},
    {TZANativeError::DeleteOutsideUpdate, 11, "Internal error. Update is not started"},
    {TZANativeError::Reserved23, 9, "Cannot create file \"%s\""},
    {TZANativeError::UpdateItemIndex, 1, "Index out of bounds"},
    {TZANativeError::UpdateOutsideUpdate, 11, "Internal error. Update is not started"},
    {TZANativeError::UpdateNotEnded, 13, "Cannot proceed when update is not ended. Preceding EndUpdate call is required."},
    {TZANativeError::CannotDeleteFile, 14, "Cannot delete file \"%s\""},
    {TZANativeError::InMemoryCreateOnly, 15, "In-memory archive can be created only"},
    {TZANativeError::InMemoryWithoutFileName, 5, "File name is blank. Specify appropriate file name"},
    {TZANativeError::RenameItemNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::AttributeItemNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::ReadOnly, 16, "File is open in read-only mode"},
    {TZANativeError::CannotOpenSource, 12, "Cannot open file \"%s\""},
    {TZANativeError::CompressedSize, 17, "Invalid compressed size, rfs.size = %d, count = %d"},
    {TZANativeError::NoLocalHeader, 18, "Invalid archive file."},
    {TZANativeError::CannotCreateRepairFile, 19, "Cannot create output file. Probably file is locked by another process. FileName = '%s'."},
    {TZANativeError::RepairOpenArchive, 20, "Archive is open. You should close it beore performing this operation."},
    {TZANativeError::CommentItemNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::BlankFolder, 21, "Unable to create directory"},
    {TZANativeError::Zip64EndMissing, 22, "Cannot find Zip64 directory end record"},
    {TZANativeError::Zip64ItemNotEnabled, 23, "Cannot compress file '%s'. Zip64 mode is not enabled"},
    {TZANativeError::PasswordItemNotFound, 6, "File \"%s\" not found"},
    {TZANativeError::Zip64NotEnabled, 23, "Cannot compress file '%s'. Zip64 mode is not enabled"},
    {TZANativeError::VolumeEndMissing, 24, "Cannot open archive file. Opening aborted or invalid file"},
    {TZANativeError::VolumeAborted, 24, "Cannot open archive file. Opening aborted or invalid file"},
    {TZANativeError::VolumeWrite, 25, "Write to stream error"},
    {TZANativeError::Reserved47, 26, "Cannot place SFX stub on volume. Volume size limit is too small"},
    {TZANativeError::ArchiveDamaged, 27, "Archive is damaged. Open failed"},
    {TZANativeError::SFXOnVolumes, 28, "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation instead of MakeSFX"},
    {TZANativeError::AlreadySFX, 29, "Archive already has SFX stub"},
    {TZANativeError::CustomStreamVolumes, 30, "Multi-volume archive is not allowed for custom stream"},
    {TZANativeError::ModifyVolumes, 31, "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to add files several times"},
    {TZANativeError::Reserved53, 6, "File \"%s\" not found"},
    {TZANativeError::Reserved54, 6, "File \"%s\" not found"},
    {TZANativeError::Deflate64, 32, "Deflate64 compression method is not supported"},
    {TZANativeError::MakeSFXFailed, 33, "MakeSFX error"},
    {TZANativeError::Reserved57, -1, nullptr},
    {TZANativeError::Reserved58, -1, nullptr},
    {TZANativeError::Reserved59, -1, nullptr},
    {TZANativeError::Reserved60, -1, nullptr},
};

int ZANativeToError(int nativeCode) {
    if (nativeCode < 0 || nativeCode >= static_cast<int>(std::size(ZAErrorTable))) return 0;
    // 57 to 60 map to -1, which has no message: treated like an unmapped code.
    const int errorCode = ZAErrorTable[nativeCode].errorCode;
    return errorCode < 0 ? 0 : errorCode;
}

std::string ZAErrorMessageText(int errorCode) {
    for (const TZAErrorRow& row : ZAErrorTable) {
        if (row.errorCode == errorCode && row.message != nullptr) return row.message;
    }
    return {};
}

const char* const _SConfirmOverwrite = "Overwrite file \"%s\" with \"%s\"";
const char* const _SPasswordTitle = "Password for \"%s\"";
const char* const _SPasswordPrompt = "Enter password: ";
const char* const _SOnRequestBlankDisk = "Please insert a blank disk #%d";
const char* const _SOnRequestFirstDisk = "Please insert the first disk";
const char* const _SOnRequestLastDisk = "Please insert the last disk";
const char* const _SOnRequestMiddleDisk = "Please insert disk #%d";
const char* const _SOnDiskFull =
    "Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the disk or find another blank disk";
const char* const _SOnProcessFileFailure = "%s. File processing error, possibly disk is full";
const char* const _SWrongDiskRequestLastDisk =
    "File '%s' not found on inserted disk. Please insert last disk with required file";

namespace {
constexpr auto makeCrcTable() {
    struct Table {
        std::uint32_t v[256];
    } t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        t.v[n] = c;
    }
    return t;
}
constexpr auto kCrcTable = makeCrcTable();
} // namespace

// The standard table of the reflected polynomial 0xEDB88320; built at compile time so the values
// cannot drift from the polynomial.
const std::uint32_t CRC32_TABLE[256] = {
#define ROW(i) kCrcTable.v[i], kCrcTable.v[i + 1], kCrcTable.v[i + 2], kCrcTable.v[i + 3], \
               kCrcTable.v[i + 4], kCrcTable.v[i + 5], kCrcTable.v[i + 6], kCrcTable.v[i + 7]
    ROW(0),   ROW(8),   ROW(16),  ROW(24),  ROW(32),  ROW(40),  ROW(48),  ROW(56),
    ROW(64),  ROW(72),  ROW(80),  ROW(88),  ROW(96),  ROW(104), ROW(112), ROW(120),
    ROW(128), ROW(136), ROW(144), ROW(152), ROW(160), ROW(168), ROW(176), ROW(184),
    ROW(192), ROW(200), ROW(208), ROW(216), ROW(224), ROW(232), ROW(240), ROW(248),
#undef ROW
};

} // namespace tarnwick
