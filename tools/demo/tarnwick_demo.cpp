// The demo: builds a sample product's package, enciphers it into _setup.pkg the way the packaging
// step ships it, then does what the setup program does at start-up: copies it to "_setup" in a
// private folder, deciphers that copy into "_setupDEC", checks the signature and reads the header.
#include "cipher/myblowfish.h"
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

} // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "tarnwick-demo";
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
