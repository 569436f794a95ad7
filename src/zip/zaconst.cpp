// The message tables, the prompt texts and the CRC-32 table.
#include "zip/zaconst.h"

namespace tarnwick {

const TZANativeErrorPair ZANativeToErrorCode[61] = {
    {0, 0},   {1, 1},   {2, 1},   {3, 1},   {4, 1},   {5, 2},   {6, 3},   {7, 1},   {8, 4},   {9, 5},   {10, 5},
    {11, 6},  {12, 6},  {13, 7},  {14, 7},  {15, 6},  {16, 1},  {17, 8},  {18, 6},  {19, 9},  {20, 10}, {21, 1},
    {22, 11}, {23, 9},  {24, 1},  {25, 11}, {26, 13}, {27, 14}, {28, 15}, {29, 5},  {30, 6},  {31, 6},  {32, 16},
    {33, 12}, {34, 17}, {35, 18}, {36, 19}, {37, 20}, {38, 6},  {39, 21}, {40, 22}, {41, 23}, {42, 6},  {43, 23},
    {44, 24}, {45, 24}, {46, 25}, {47, 26}, {48, 27}, {49, 28}, {50, 29}, {51, 30}, {52, 31}, {53, 6},  {54, 6},
    {55, 32}, {56, 33}, {57, -1}, {58, -1}, {59, -1}, {60, -1},
};

const char* const ZAErrorMessages[41] = {
    "Unknown error",
    "Index out of bounds",
    "Invalid compression mode. Mode must be in [0-9] range",
    "Unexpected nil pointer",
    "Invalid size or check sum of file or unsupported compression format",
    "File name is blank. Specify appropriate file name",
    "File \"%s\" not found",
    "Archive is not open",
    "SFXStub property is not specified",
    "Cannot create file \"%s\"",
    "Cannot create directory \"%s\"",
    "Internal error. Update is not started",
    "Cannot open file \"%s\"",
    "Cannot proceed when update is not ended. Preceding EndUpdate call is required.",
    "Cannot delete file \"%s\"",
    "In-memory archive can be created only",
    "File is open in read-only mode",
    "Invalid compressed size, rfs.size = %d, count = %d",
    "Invalid archive file.",
    "Cannot create output file. Probably file is locked by another process. FileName = '%s'.",
    "Archive is open. You should close it beore performing this operation.",
    "Unable to create directory",
    "Cannot find Zip64 directory end record",
    "Cannot compress file '%s'. Zip64 mode is not enabled",
    "Cannot open archive file. Opening aborted or invalid file",
    "Write to stream error",
    "Cannot place SFX stub on volume. Volume size limit is too small",
    "Archive is damaged. Open failed",
    "MakeSFX is not allowed for splitted or spanned archives. Set SFXStub before archive creation instead of MakeSFX",
    "Archive already has SFX stub",
    "Multi-volume archive is not allowed for custom stream",
    "Multi-spanned archive is not allowed for modification. Use BeginUpdate/EndUpdate methods to add files several times",
    "Deflate64 compression method is not supported",
    "MakeSFX error",
    "", "", "", "", "", "", "",
};

int ZANativeToError(int nativeCode) {
    for (const TZANativeErrorPair& pair : ZANativeToErrorCode) {
        // 57 to 60 map to -1, which has no message: treated like an unmapped code.
        if (pair.nativeCode == nativeCode) return pair.errorCode < 0 ? 0 : pair.errorCode;
    }
    return 0;
}

std::string ZAErrorMessageText(int errorCode) {
    if (errorCode < 0 || errorCode >= 41) return {};
    return ZAErrorMessages[errorCode];
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
