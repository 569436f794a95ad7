// The demo's native half.
//   tarnwick-demo [package] DIR
//       builds a sample package, enciphers it into DIR/setup/_setup.pkg the way the packaging step
//       ships it, then does what the setup program does at start-up: copies it to "_setup" in a
//       private folder, deciphers that copy into "_setupDEC", checks the signature, reads the header.
//   tarnwick-demo example EXAMPLE_DIR MAIN_EXE OUT
//       turns the example product into OUT/setup/_setup.pkg and the numbered items OUT/items/N.twi
//       (the script zips those into the data archive).
//   tarnwick-demo encipher SOURCE DESTINATION
//       enciphers SOURCE into the container DESTINATION (how _setup.dat is made).
//   tarnwick-demo single-file SETUP_FOLDER LAUNCHER OUTPUT
//       writes the one-file setup: the launcher with the setup folder's files appended.
#include "example_product.h"

#include "cipher/myblowfish.h"
#include "launcher/single_file_setup.h"
#include "package/package_reader.h"
#include "package/package_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;
using namespace tarnwick;

namespace {

TPackage samplePackage() {
    TPackage p;
    p.header.productName = "Tarnwick Notepad";
    p.header.publisherName = "Tarnwick Samples";
    p.header.destinationTemplate = "[PROGRAMFILES]\\Tarnwick Notepad";
    p.header.pictureName = "intro.jpg";
    p.header.programFolderName = "";
    p.header.mainItemNumber = 1;
    p.header.itemCount = 2;
    p.files = {{frFolder, 0, "[INSTALLDIR]\\Docs"},
               {frFile, 1, "[INSTALLDIR]\\notepad.exe"},
               {frFile, 2, "[INSTALLDIR]\\Docs\\readme.txt"}};
    p.registry = {{rrKey, rvNone, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick Samples\\Tarnwick Notepad", ""},
                  {rrValue, rvString, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick Samples\\Tarnwick Notepad\\Path",
                   "[INSTALLDIR]"}};
    p.shortcuts = {{"[INSTALLDIR]\\Docs\\readme.txt", "Read Me"}};
    return p;
}

bool writeFile(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int fail(const std::string& message) {
    std::cerr << "tarnwick-demo: " << message << "\n";
    return 1;
}

// Enciphers source into destination: the container of "x" is "xBLW" beside it, then renamed.
bool encipherInto(TMyBlowfish& cipher, const fs::path& source, const fs::path& destination) {
    if (cipher.Encrypt_File(source.string().c_str()) != TMyBlowfish::kDone) return false;
    std::error_code ec;
    fs::rename(containerOutputName(source.string(), "BLW"), destination, ec);
    return !ec;
}

int runExample(const fs::path& exampleDir, const fs::path& mainProgram, const fs::path& out) {
    using demo::buildExampleProduct;
    const demo::TExampleProduct product = buildExampleProduct(exampleDir, mainProgram);
    std::error_code ec;
    fs::remove_all(out / "items", ec);
    fs::create_directories(out / "items", ec);
    fs::create_directories(out / "setup", ec);
    if (ec) return fail("cannot create " + out.string() + ": " + ec.message());
    for (const demo::TExampleItem& item : product.items) {
        fs::copy_file(item.source, out / "items" / (std::to_string(item.number) + ".twi"),
                      fs::copy_options::overwrite_existing, ec);
        if (ec) return fail("cannot copy " + item.source.string() + ": " + ec.message());
    }
    const fs::path plain = out / "setup" / "_setup";
    if (!writeFile(plain, writePackage(product.package))) return fail("cannot write " + plain.string());
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    if (!encipherInto(cipher, plain, out / "setup" / "_setup.pkg")) return fail("cannot encipher " + plain.string());
    fs::remove(plain, ec);

    const TPackage& p = product.package;
    std::cout << "example product \"" << p.header.productName << "\" by " << p.header.publisherName << ": "
              << p.files.size() << " file records, " << p.header.itemCount << " items (main item "
              << p.header.mainItemNumber << "), " << p.registry.size() << " registry records, " << p.shortcuts.size()
              << " extra shortcuts\n";
    for (const TFileRecord& r : p.files)
        std::cout << "  " << (r.type == frFolder ? "folder " : "file   ") << r.path
                  << (r.type == frFile ? "  <- item " + std::to_string(r.itemNumber) : "") << "\n";
    return 0;
}

int runPackage(const fs::path& work);

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "example") {
        if (argc != 5) return fail("usage: tarnwick-demo example EXAMPLE_DIR MAIN_EXE OUT");
        return runExample(argv[2], argv[3], argv[4]);
    }
    if (command == "encipher") {
        if (argc != 4) return fail("usage: tarnwick-demo encipher SOURCE DESTINATION");
        TMyBlowfish cipher(nullptr);
        cipher.Setpassword(TMyBlowfish::kDefaultPassword);
        const fs::path copy = fs::path(argv[3]).parent_path() / "_encipher_source";
        std::error_code ec;
        fs::copy_file(argv[2], copy, fs::copy_options::overwrite_existing, ec);
        if (ec) return fail(std::string("cannot read ") + argv[2] + ": " + ec.message());
        const bool done = encipherInto(cipher, copy, argv[3]);
        fs::remove(copy, ec);
        return done ? 0 : fail(std::string("cannot encipher ") + argv[2]);
    }
    if (command == "single-file") {
        if (argc != 5) return fail("usage: tarnwick-demo single-file SETUP_FOLDER LAUNCHER OUTPUT");
        try {
            writeSingleFileSetup(argv[2], argv[3], argv[4]);
        } catch (const std::exception& e) {
            return fail(e.what());
        }
        return 0;
    }
    if (command == "package") return argc == 3 ? runPackage(argv[2]) : fail("usage: tarnwick-demo package DIR");
    return runPackage(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tarnwick-demo");
}

namespace {

int runPackage(const fs::path& work) {
    std::error_code ec;
    fs::create_directories(work / "setup", ec);
    fs::create_directories(work / "temp", ec);
    if (ec) return fail("cannot create " + work.string() + ": " + ec.message());

    // Packaging: the plain layout, enciphered; the container of "_setup" is "_setupBLW".
    TMyBlowfish cipher(nullptr);
    cipher.Setpassword(TMyBlowfish::kDefaultPassword);
    const fs::path plain = work / "setup" / "_setup";
    const std::vector<unsigned char> bytes = writePackage(samplePackage());
    if (!writeFile(plain, bytes)) return fail("cannot write " + plain.string());
    if (cipher.Encrypt_File(plain.string().c_str()) != TMyBlowfish::kDone) return fail("cannot encipher " + plain.string());
    const fs::path shipped = work / "setup" / "_setup.pkg";
    fs::rename(containerOutputName(plain.string(), "BLW"), shipped, ec);
    fs::remove(plain, ec);
    std::cout << "wrote " << shipped.string() << " (" << bytes.size() << " bytes of package, "
              << fs::file_size(shipped) << " enciphered)\n";

    // Start-up: copy, decipher the copy, read the header from the deciphered file.
    const fs::path copy = work / "temp" / "_setup";
    fs::copy_file(shipped, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("cannot copy the package: " + ec.message());
    cipher.Decrypt_File(copy.string().c_str());
    fs::remove(copy, ec);
    const std::string deciphered = containerOutputName(copy.string(), "DEC");
    std::FILE* file = std::fopen(deciphered.c_str(), "rb");
    if (file == nullptr) return fail("The package file is currupted!!!");
    TStdioByteSource source(file);
    TPackageReader reader(source);
    const TPackageHeader header = reader.ReadHeader();
    std::fclose(file);
    fs::remove(deciphered, ec);
    if (!isPackageSignature(header.signature)) return fail("The package file is currupted!!!");

    std::cout << "header read back from " << deciphered << ":\n"
              << "  signature            \"" << header.signature << "\"\n"
              << "  product name         " << header.productName << "\n"
              << "  publisher name       " << header.publisherName << "\n"
              << "  destination template " << header.destinationTemplate << "\n"
              << "  picture name         " << header.pictureName << "\n"
              << "  program folder name  " << (header.programFolderName.empty() ? "(the product name)" : header.programFolderName) << "\n"
              << "  main item number     " << header.mainItemNumber << "\n"
              << "  item count           " << header.itemCount << "\n"
              << "  file records         " << header.fileRecordCount << "\n"
              << "  registry records     " << header.registryRecordCount << "\n";
    return reader.IsShort() ? 1 : 0;
}

} // namespace
