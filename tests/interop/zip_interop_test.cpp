// tarnwick-zip against archives that other tools write: the listing must agree with unzip's
// (names, sizes, CRC-32) and the extracted bytes with what unzip extracts. The other way round,
// what tarnwick-zip writes must pass unzip -t and 7z t and extract to the same bytes.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Listed {
    long long size = -1;
    long long compressed = -1;
    std::string crc;
    bool operator==(const Listed&) const = default;
};
using Listing = std::map<std::string, Listed>;

void PrintTo(const Listed& l, std::ostream* os) { *os << "{" << l.size << ", " << l.compressed << ", " << l.crc << "}"; }

// Differences of two file trees, by name and size only, so a failure stays readable.
std::string treeDifference(const std::map<std::string, std::string>& ours, const std::map<std::string, std::string>& theirs) {
    std::string report;
    for (const auto& [name, bytes] : ours) {
        const auto it = theirs.find(name);
        if (it == theirs.end()) {
            report += "only ours: " + name + "\n";
        } else if (it->second != bytes) {
            report += "differs: " + name + " (" + std::to_string(bytes.size()) + " vs " + std::to_string(it->second.size()) + ")\n";
        }
    }
    for (const auto& [name, bytes] : theirs) {
        if (ours.count(name) == 0) report += "only theirs: " + name + "\n";
    }
    return report;
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// unzip prints names without the UTF-8 flag as their raw bytes, which writers mean as code page 437.
std::string cp437ToUtf8(const std::string& raw) {
    static const unsigned short high[128] = {
        0xC7,   0xFC,   0xE9,   0xE2,   0xE4,   0xE0,   0xE5,   0xE7,   0xEA,   0xEB,   0xE8,   0xEF,   0xEE,   0xEC,
        0xC4,   0xC5,   0xC9,   0xE6,   0xC6,   0xF4,   0xF6,   0xF2,   0xFB,   0xF9,   0xFF,   0xD6,   0xDC,   0xA2,
        0xA3,   0xA5,   0x20A7, 0x192,  0xE1,   0xED,   0xF3,   0xFA,   0xF1,   0xD1,   0xAA,   0xBA,   0xBF,   0x2310,
        0xAC,   0xBD,   0xBC,   0xA1,   0xAB,   0xBB,   0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
        0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
        0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
        0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x3B1,  0xDF,
        0x393,  0x3C0,  0x3A3,  0x3C3,  0xB5,   0x3C4,  0x3A6,  0x398,  0x3A9,  0x3B4,  0x221E, 0x3C6,  0x3B5,  0x2229,
        0x2261, 0xB1,   0x2265, 0x2264, 0x2320, 0x2321, 0xF7,   0x2248, 0xB0,   0x2219, 0xB7,   0x221A, 0x207F, 0xB2,
        0x25A0, 0xA0};
    // Valid UTF-8 is left alone.
    bool utf8 = true;
    for (std::size_t i = 0; i < raw.size() && utf8;) {
        const auto c = static_cast<unsigned char>(raw[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= raw.size() + (extra == 0 ? 1 : 0)) utf8 = extra == 0;
        for (int k = 1; utf8 && k <= extra; ++k) utf8 = (static_cast<unsigned char>(raw[i + static_cast<std::size_t>(k)]) >> 6) == 2;
        i += static_cast<std::size_t>(extra < 0 ? 1 : extra + 1);
    }
    if (utf8) return raw;
    std::string out;
    for (unsigned char c : raw) {
        const unsigned code = c < 0x80 ? c : high[c - 0x80];
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

class ZipInterop : public ::testing::Test {
protected:
    ZipInterop() {
        std::mt19937_64 random(static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
        work = fs::temp_directory_path() / ("tarnwick-interop-" + std::to_string(random()));
        fs::create_directories(work / "src" / "sub");
        std::string text;
        for (int i = 0; i < 4000; ++i) text += "line " + std::to_string(i) + " of a text file that compresses well\n";
        write("src/text.txt", text);
        std::string binary(150000, '\0');
        std::mt19937 bytes(42);
        for (char& c : binary) c = static_cast<char>(bytes());
        write("src/binary.bin", binary);
        write("src/empty.txt", "");
        write("src/sub/nested.txt", "nested file\n");
    }
    ~ZipInterop() override {
        std::error_code ec;
        fs::remove_all(work, ec);
    }

    void write(const std::string& relative, const std::string& bytes) const {
        fs::create_directories((work / relative).parent_path());
        std::ofstream(work / relative, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Runs a shell command in the work folder; stdout in out, exit status returned.
    int sh(const std::string& command, std::string* out = nullptr, std::string* err = nullptr) const {
        const std::string errFile = (work / "stderr.txt").string();
        const std::string full = "cd " + quote(work.string()) + " && LC_ALL=C.UTF-8 " + command + " 2>" + quote(errFile);
        FILE* pipe = popen(full.c_str(), "r");
        if (pipe == nullptr) return -1;
        std::string captured;
        std::array<char, 65536> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) captured.append(buffer.data(), n);
        const int status = pclose(pipe);
        if (out != nullptr) *out = captured;
        if (err != nullptr) {
            std::ifstream in(errFile, std::ios::binary);
            *err = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string tool(const std::string& arguments) const { return quote(TARNWICK_ZIP_TOOL) + " " + arguments; }

    Listing ourListing(const std::string& archive) const {
        std::string out;
        EXPECT_EQ(sh(tool("list " + quote(archive)), &out), 0) << archive;
        Listing listing;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string name, size, compressed, crc, attributes, time, encrypted;
            std::getline(fields, name, '\t');
            std::getline(fields, size, '\t');
            std::getline(fields, compressed, '\t');
            std::getline(fields, crc, '\t');
            std::getline(fields, attributes, '\t');
            std::getline(fields, time, '\t');
            std::getline(fields, encrypted, '\t');
            // unzip -v counts an encrypted item without its 12-byte encryption header.
            listing[name] = {std::stoll(size), std::stoll(compressed) - (encrypted == "1" ? 12 : 0), crc};
        }
        return listing;
    }

    Listing unzipListing(const std::string& archive) const {
        std::string out;
        const int status = sh("unzip -v " + quote(archive), &out);
        EXPECT_LE(status, 1) << "unzip -v " << archive;
        Listing listing;
        std::istringstream lines(out);
        std::string line;
        int dashes = 0;
        while (std::getline(lines, line)) {
            if (line.rfind("--------", 0) == 0) {
                ++dashes;
                continue;
            }
            if (dashes != 1) continue;
            std::istringstream fields(line);
            long long size = 0, compressed = 0;
            std::string method, ratio, date, time, crc;
            fields >> size >> method >> compressed >> ratio >> date >> time >> crc;
            std::string name;
            std::getline(fields, name);
            name = cp437ToUtf8(name.substr(2));
            for (char& c : name) {
                if (c == '\\') c = '/';
            }
            listing[name] = {size, compressed, crc};
        }
        return listing;
    }

    // Every regular file below a folder, by relative path.
    static std::map<std::string, std::string> tree(const fs::path& root) {
        std::map<std::string, std::string> files;
        if (!fs::exists(root)) return files;
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (!e.is_regular_file()) continue;
            std::ifstream in(e.path(), std::ios::binary);
            // unzip keeps backslashes and code page 437 bytes in the names it creates.
            std::string name = cp437ToUtf8(fs::relative(e.path(), root).generic_string());
            for (char& c : name) {
                if (c == '\\') c = '/';
            }
            files[name] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }

    // Lists and extracts with both tools and compares. reference: the archive unzip reads (a
    // joined copy for split sets).
    void expectSameAsUnzip(const std::string& archive, const std::string& password = "", std::string reference = "") {
        if (reference.empty()) reference = archive;
        EXPECT_EQ(ourListing(archive), unzipListing(reference)) << archive;
        const std::string pw = password.empty() ? "" : " -P " + quote(password);
        std::string unzipErr;
        EXPECT_LE(sh("unzip -qq -o" + pw + " " + quote(reference) + " -d theirs", nullptr, &unzipErr), 1) << unzipErr;
        std::string err;
        const std::string ourPw = password.empty() ? "" : " -p " + quote(password);
        EXPECT_EQ(sh(tool("extract " + quote(archive) + " -d ours" + ourPw), nullptr, &err), 0) << err;
        const auto theirs = tree(work / "theirs");
        EXPECT_FALSE(theirs.empty());
        EXPECT_EQ(treeDifference(tree(work / "ours"), theirs), "") << archive;
        fs::remove_all(work / "theirs");
        fs::remove_all(work / "ours");
    }

    fs::path work;
};

TEST_F(ZipInterop, InfoZipStoredDeflatedAndEncrypted) {
    ASSERT_EQ(sh("cd src && zip -q -0 -r ../stored.zip ."), 0);
    ASSERT_EQ(sh("cd src && zip -q -9 -r ../deflated.zip ."), 0);
    ASSERT_EQ(sh("cd src && zip -q -r -P 'pass word' ../encrypted.zip ."), 0);
    expectSameAsUnzip("stored.zip");
    expectSameAsUnzip("deflated.zip");
    expectSameAsUnzip("encrypted.zip", "pass word");
    std::string err;
    EXPECT_EQ(sh(tool("test encrypted.zip -p wrong"), nullptr, &err), 1);
    EXPECT_NE(err.find("text.txt: skipped: password missing or wrong"), std::string::npos) << err;
}

TEST_F(ZipInterop, InfoZipZip64StreamedAndSelfExtractor) {
    ASSERT_EQ(sh("cd src && zip -q -fz -r ../zip64.zip ."), 0);
    expectSameAsUnzip("zip64.zip");
    // From standard input: sizes and CRC follow the data in a data descriptor.
    ASSERT_EQ(sh("cat src/text.txt | zip -q streamed.zip -"), 0);
    expectSameAsUnzip("streamed.zip");
    // A stub in front, offsets fixed up by zip -A, and left as they were.
    ASSERT_EQ(sh("cd src && zip -q -r ../plain.zip ."), 0);
    ASSERT_EQ(sh("head -c 7000 src/binary.bin > stub && cat stub plain.zip > adjusted.zip && zip -q -A adjusted.zip"), 0);
    ASSERT_EQ(sh("cat stub plain.zip > unadjusted.zip"), 0);
    expectSameAsUnzip("adjusted.zip", "", "plain.zip");
    expectSameAsUnzip("unadjusted.zip", "", "plain.zip");
}

TEST_F(ZipInterop, InfoZipSplitSet) {
    ASSERT_EQ(sh("cd src && zip -q -0 -s 64k -r ../split.zip ."), 0);
    ASSERT_TRUE(fs::exists(work / "split.z01"));
    // unzip reads no split sets, and zip -s 0 joins stored sets wrongly here: the reference is the
    // same tree zipped whole with the same options.
    ASSERT_EQ(sh("cd src && zip -q -0 -r ../whole.zip ."), 0);
    expectSameAsUnzip("split.zip", "", "whole.zip");
}

TEST_F(ZipInterop, SevenZipMethodsWeDoNotDecode) {
    ASSERT_EQ(sh("7z a -bd -tzip -mm=Deflate64 d64.zip src/text.txt > /dev/null"), 0);
    ASSERT_EQ(sh("7z a -bd -tzip -mm=BZip2 bz2.zip src/text.txt > /dev/null"), 0);
    ASSERT_EQ(sh("7z a -bd -tzip -mm=Deflate deflate.zip src > /dev/null"), 0);
    std::string err;
    EXPECT_EQ(sh(tool("test d64.zip"), nullptr, &err), 1);
    EXPECT_NE(err.find("Deflate64 compression method is not supported - Native error: 00055"), std::string::npos) << err;
    EXPECT_EQ(sh(tool("test bz2.zip"), nullptr, &err), 1);
    EXPECT_NE(err.find("Native error: 00008"), std::string::npos) << err;
    EXPECT_EQ(ourListing("d64.zip"), unzipListing("d64.zip"));
    expectSameAsUnzip("deflate.zip");
}

TEST_F(ZipInterop, PythonNamesAttributesAndComments) {
    const std::string script = R"PY(
import zipfile
with zipfile.ZipFile('names.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('dir\\back.txt', 'backslash name')
    hidden = zipfile.ZipInfo('hidden.txt'); hidden.external_attr = 0x22; z.writestr(hidden, 'hidden')
    system = zipfile.ZipInfo('system.txt'); system.external_attr = 0x24; z.writestr(system, 'system')
    z.writestr('cafX-\u00fcber.txt', 'utf-8 flagged name')
    z.writestr('oemX.txt', 'code page 437 name')
with open('names.zip', 'rb') as f:
    data = f.read()
# A name in code page 437 without the UTF-8 flag, as older writers store it.
with open('names.zip', 'wb') as f:
    f.write(data.replace(b'oemX', b'oem\x82'))
for size in (0, 65535):
    with zipfile.ZipFile('comment%d.zip' % size, 'w') as z:
        z.writestr('a.txt', 'a')
        z.comment = b'c' * size
)PY";
    write("make.py", script);
    ASSERT_EQ(sh("python3 make.py"), 0);
    expectSameAsUnzip("names.zip");
    std::string out;
    ASSERT_EQ(sh(tool("list names.zip hidden.txt system.txt"), &out), 0);
    EXPECT_NE(out.find("hidden.txt\t6\t"), std::string::npos);
    EXPECT_NE(out.find("\t22\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\t24\t"), std::string::npos) << out;
    ASSERT_EQ(sh(tool("list names.zip 'dir\\back.txt'"), &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\t')), "dir/back.txt");
    for (int size : {0, 65535}) {
        ASSERT_EQ(sh(tool("list --comment comment" + std::to_string(size) + ".zip"), &out), 0);
        EXPECT_EQ(out, std::string(static_cast<std::size_t>(size), 'c'));
        expectSameAsUnzip("comment" + std::to_string(size) + ".zip");
    }
}

TEST_F(ZipInterop, ExtractOptionsOfTheTool) {
    ASSERT_EQ(sh("cd src && zip -q -r ../a.zip ."), 0);
    std::string err;
    ASSERT_EQ(sh(tool("extract a.zip '*.txt' -d flat --no-dirs --exclude empty.txt"), nullptr, &err), 0) << err;
    const auto files = tree(work / "flat");
    EXPECT_EQ(files.size(), 2u);
    EXPECT_TRUE(files.count("text.txt") == 1 && files.count("nested.txt") == 1);
    write("flat/text.txt", "mine");
    ASSERT_EQ(sh(tool("extract a.zip text.txt -d flat --overwrite never")), 0);
    EXPECT_EQ(tree(work / "flat")["text.txt"], "mine");
    EXPECT_EQ(sh(tool("extract a.zip")), 2) << "extract without -d is a usage error";
    EXPECT_EQ(sh(tool("list missing.zip"), nullptr, &err), 2);
    EXPECT_NE(err.find("not found - Native error: 00012"), std::string::npos) << err;
}

// ---- Archives we write ---------------------------------------------------------------------

class WrittenByUs : public ZipInterop {
protected:
    // unzip and 7-Zip both test the archive, and unzip extracts exactly the source tree.
    void expectReadByOthers(const std::string& archive, const std::string& password = "") {
        const std::string pw = password.empty() ? "" : " -P " + quote(password);
        std::string out, err;
        EXPECT_EQ(sh("unzip -t" + pw + " " + quote(archive), &out, &err), 0) << out << err;
        const std::string sevenPw = password.empty() ? "" : " -p" + quote(password);
        EXPECT_EQ(sh("7z t -bd" + sevenPw + " " + quote(archive), &out, &err), 0) << out << err;
        ASSERT_EQ(sh("unzip -qq -o" + pw + " " + quote(archive) + " -d theirs", nullptr, &err), 0) << err;
        EXPECT_EQ(treeDifference(tree(work / "theirs" / "src"), tree(work / "src")), "") << archive;
        fs::remove_all(work / "theirs");
    }
};

TEST_F(WrittenByUs, EveryLevelAndEncryptionPassUnzipAnd7Zip) {
    for (const char* level : {"0", "1", "6", "9"}) {
        SCOPED_TRACE(level);
        const std::string name = std::string("level") + level + ".zip";
        std::string err;
        ASSERT_EQ(sh(tool("add " + name + " src --level " + level), nullptr, &err), 0) << err;
        expectReadByOthers(name);
        EXPECT_EQ(ourListing(name), unzipListing(name));
    }
    std::string err;
    ASSERT_EQ(sh(tool("add secret.zip src -p 'pass word'"), nullptr, &err), 0) << err;
    expectReadByOthers("secret.zip", "pass word");
    EXPECT_NE(sh("unzip -t -P wrong secret.zip"), 0);
}

TEST_F(WrittenByUs, ChangesInPlaceKeepTheArchiveReadable) {
    std::string err;
    ASSERT_EQ(sh("cd src && zip -q -r ../theirs.zip ."), 0);
    write("extra/new.txt", "appended later\n");
    ASSERT_EQ(sh(tool("add theirs.zip extra/new.txt"), nullptr, &err), 0) << err;
    ASSERT_EQ(sh(tool("rename theirs.zip text.txt renamed.txt"), nullptr, &err), 0) << err;
    ASSERT_EQ(sh(tool("delete theirs.zip binary.bin"), nullptr, &err), 0) << err;
    ASSERT_EQ(sh(tool("attrib theirs.zip empty.txt 21"), nullptr, &err), 0) << err;
    ASSERT_EQ(sh(tool("comment theirs.zip 'written by us'"), nullptr, &err), 0) << err;
    write("moved/gone.txt", "moved in\n");
    ASSERT_EQ(sh(tool("move theirs.zip moved/gone.txt"), nullptr, &err), 0) << err;
    EXPECT_FALSE(fs::exists(work / "moved" / "gone.txt"));
    write("fresh/sub/nested.txt", "refreshed\n");
    ASSERT_EQ(sh(tool("update theirs.zip 'sub/*' -C fresh"), nullptr, &err), 0) << err;
    EXPECT_EQ(sh(tool("rename theirs.zip missing.txt x.txt"), nullptr, &err), 2);
    EXPECT_NE(err.find("Native error: 00030"), std::string::npos) << err;
    std::string out;
    EXPECT_EQ(sh("unzip -t theirs.zip", &out), 0) << out;
    EXPECT_EQ(sh("7z t -bd theirs.zip", &out), 0) << out;
    ASSERT_EQ(sh("unzip -qq -o theirs.zip -d theirs"), 0);
    const auto files = tree(work / "theirs");
    EXPECT_EQ(files.count("binary.bin"), 0u);
    EXPECT_EQ(files.at("renamed.txt"), tree(work / "src").at("text.txt"));
    EXPECT_EQ(files.at("extra/new.txt"), "appended later\n");
    EXPECT_EQ(files.at("moved/gone.txt"), "moved in\n");
    EXPECT_EQ(files.at("sub/nested.txt"), "refreshed\n");
    EXPECT_EQ(sh("unzip -z theirs.zip", &out), 0);
    EXPECT_NE(out.find("written by us"), std::string::npos) << out;
}

TEST_F(WrittenByUs, SplitSetsReadBy7Zip) {
    std::string err, out;
    ASSERT_EQ(sh(tool("add set.zip src --volume-size 65536"), nullptr, &err), 0) << err;
    ASSERT_TRUE(fs::exists(work / "set.Z01"));
    ASSERT_TRUE(fs::exists(work / "set.Z02"));
    EXPECT_EQ(fs::file_size(work / "set.Z01"), 65536u);
    EXPECT_EQ(sh(tool("test set.zip"), nullptr, &err), 0) << err;
    // zip -s 0 here joins even its own split sets wrongly (unzip then finds overlapping items), so
    // 7-Zip reads the set; it looks for lower-case volume names.
    for (const auto& e : fs::directory_iterator(work)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("set.Z", 0) == 0) fs::rename(e.path(), work / ("set.z" + name.substr(5)));
    }
    EXPECT_EQ(sh("7z t -bd set.zip", &out, &err), 0) << out << err;
    ASSERT_EQ(sh("7z x -bd -otheirs set.zip > /dev/null", nullptr, &err), 0) << err;
    EXPECT_EQ(treeDifference(tree(work / "theirs" / "src"), tree(work / "src")), "");
}

TEST_F(WrittenByUs, SelfExtractorAndRepairedArchive) {
    std::string err, out;
    ASSERT_EQ(sh(tool("add plain.zip src"), nullptr, &err), 0) << err;
    write("stub.exe", std::string(5000, 'M'));
    ASSERT_EQ(sh(tool("sfx plain.zip stub.exe setup.exe"), nullptr, &err), 0) << err;
    EXPECT_EQ(sh("unzip -l setup.exe", &out), 0) << out;
    EXPECT_NE(out.find("src/sub/nested.txt"), std::string::npos) << out;
    EXPECT_EQ(sh("7z t -bd setup.exe", &out), 0) << out;
    EXPECT_EQ(sh(tool("sfx setup.exe stub.exe twice.exe"), nullptr, &err), 2) << "a stub is there already";
    EXPECT_NE(err.find("Archive already has SFX stub"), std::string::npos) << err;

    // The central directory cut off: the repair finds every item from its local header.
    const auto size = fs::file_size(work / "plain.zip");
    std::string cd;
    ASSERT_EQ(sh("python3 -c \"import zipfile; z=zipfile.ZipFile('plain.zip'); print(z.start_dir)\"", &cd), 0);
    ASSERT_EQ(sh("head -c " + std::to_string(std::stoll(cd)) + " plain.zip > cut.zip"), 0);
    EXPECT_LT(fs::file_size(work / "cut.zip"), size);
    ASSERT_EQ(sh(tool("repair cut.zip fixed.zip"), nullptr, &err), 0) << err;
    expectReadByOthers("fixed.zip");
    ASSERT_EQ(sh(tool("repair cut.zip"), nullptr, &err), 0) << err;
    expectReadByOthers("cut.zip");
}

} // namespace
