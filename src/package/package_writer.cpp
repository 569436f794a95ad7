#include "package/package_writer.h"

#include "core/byte_order.h"

#include <limits>

namespace tarnwick {
namespace {

class TPackageBuilder {
public:
    explicit TPackageBuilder(std::vector<unsigned char>& out) : out_(out) {}

    void text(const std::string& value, const char* what) {
        if (value.size() > kPackageTextSize)
            throw EPackageFieldError(std::string(what) + " is " + std::to_string(value.size()) +
                                     " bytes long; a package field holds at most 512: \"" + value.substr(0, 60) + "...\"");
        if (value.find('\0') != std::string::npos)
            throw EPackageFieldError(std::string(what) + " contains a zero byte, which would end the field early");
        out_.insert(out_.end(), value.begin(), value.end());
        out_.insert(out_.end(), kPackageTextSize - value.size(), 0); // a full-length text has no zero byte
    }

    void int32(std::int32_t value) {
        unsigned char raw[4];
        storeLE32(raw, static_cast<std::uint32_t>(value));
        out_.insert(out_.end(), raw, raw + 4);
    }

private:
    std::vector<unsigned char>& out_;
};

std::int32_t countOf(std::size_t size, const char* what) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw EPackageFieldError(std::string("too many ") + what + " for a package");
    return static_cast<std::int32_t>(size);
}

} // namespace

std::vector<unsigned char> writePackage(const TPackage& package) {
    const TPackageHeader& h = package.header;
    std::vector<unsigned char> out;
    out.reserve(kPackageHeaderSize + package.files.size() * kFileRecordSize +
                package.registry.size() * kRegistryRecordSize + kShortcutCountSize +
                package.shortcuts.size() * kShortcutRecordSize);
    TPackageBuilder b(out);

    const std::string signature = packageSignature();
    out.insert(out.end(), signature.begin(), signature.end());
    b.text(h.productName, "product name");
    b.text(h.publisherName, "publisher name");
    b.text(h.destinationTemplate, "destination folder");
    b.text(h.pictureName, "picture name");
    b.text(h.programFolderName, "program folder name");
    b.int32(h.reserved);
    b.int32(h.mainItemNumber);
    b.int32(h.itemCount);
    b.int32(countOf(package.files.size(), "file records"));
    b.int32(countOf(package.registry.size(), "registry records"));

    for (const TFileRecord& r : package.files) {
        b.int32(r.type);
        b.int32(r.itemNumber);
        b.text(r.path, "file record path");
    }
    for (const TRegistryRecord& r : package.registry) {
        b.int32(r.type);
        b.int32(r.valueKind);
        b.text(r.keyPath, "registry key path");
        b.text(r.data, "registry value data");
    }
    b.int32(countOf(package.shortcuts.size(), "shortcuts"));
    for (const TShortcutRecord& r : package.shortcuts) {
        b.text(r.targetPath, "shortcut target");
        b.text(r.shortcutName, "shortcut name");
    }
    return out;
}

} // namespace tarnwick
