// The installation's file work with nothing of ours around it: the same file creations, moves
// and deletions as an installation run of the generated product, made by plain Win32 calls. Run
// under Wine beside tarnwick-install-bench, it separates what Wine costs per file from what the
// installation adds (deciphering, decoding, searching, events).
//
//   tarnwick-raw-files SOURCE DEST
//
// SOURCE (a Windows path) holds manifest.txt and product\ as bench/generate_product.py left them;
// the items' bytes are read into memory first (not timed). Into DEST, which must be empty:
//   extract    every item written as Temp\items<k>\<n>.twi, a hundred to a folder, in item
//              order, the main program last (as the installation extracts them)
//   copy       the product's folders made below PF, each item moved to its file record's place
//   clean-up   the emptied item folders removed
// Prints "phase <name> <seconds>" for each and "total <seconds>"; exit status 0, or 1 with the
// reason on stderr.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TRecord {
    bool folder = false;
    int item = 0;
    std::string path; // relative, backslashes
    std::string bytes;
};

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<TRecord> readManifest(const std::string& source) {
    std::ifstream in(source + "\\manifest.txt");
    if (!in) throw std::runtime_error("cannot read " + source + "\\manifest.txt");
    std::vector<TRecord> records;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::istringstream fields(line);
        std::string kind, a, b;
        std::getline(fields, kind, '\t');
        std::getline(fields, a, '\t');
        TRecord record;
        if (kind == "D") {
            record.folder = true;
            record.path = a;
        } else if (kind == "F") {
            std::getline(fields, b, '\t');
            record.item = std::stoi(a);
            record.path = b;
            record.bytes = readWhole(source + "\\product\\" + b);
        } else {
            throw std::runtime_error("bad manifest line: " + line);
        }
        records.push_back(std::move(record));
    }
    return records;
}

void check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

std::string itemFolder(const std::string& temp, int item) { return temp + "\\items" + std::to_string((item - 1) / 100); }

void writeItem(const std::string& temp, const TRecord& record) {
    const std::string path = itemFolder(temp, record.item) + "\\" + std::to_string(record.item) + ".twi";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    check(file != INVALID_HANDLE_VALUE, "creating " + path);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record.bytes.data(), static_cast<DWORD>(record.bytes.size()), &written, nullptr);
    CloseHandle(file);
    check(ok && written == record.bytes.size(), "writing " + path);
}

double since(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

int run(const std::string& source, const std::string& dest) {
    const std::vector<TRecord> records = readManifest(source);
    const std::string temp = dest + "\\Temp";
    const std::string product = dest + "\\PF";
    int mainItem = 0;
    for (const TRecord& record : records) mainItem = std::max(mainItem, record.item);

    const Clock::time_point start = Clock::now();
    check(CreateDirectoryA(temp.c_str(), nullptr), "creating " + temp);
    std::string lastFolder;
    const TRecord* main = nullptr;
    for (const TRecord& record : records) {
        if (record.folder) continue;
        if (record.item == mainItem) {
            main = &record;
            continue;
        }
        const std::string folder = itemFolder(temp, record.item);
        if (folder != lastFolder) CreateDirectoryA(folder.c_str(), nullptr);
        lastFolder = folder;
        writeItem(temp, record);
    }
    if (main) {
        CreateDirectoryA(itemFolder(temp, main->item).c_str(), nullptr);
        writeItem(temp, *main);
    }
    const Clock::time_point extracted = Clock::now();

    check(CreateDirectoryA(product.c_str(), nullptr), "creating " + product);
    for (const TRecord& record : records) {
        const std::string path = product + "\\" + record.path;
        if (record.folder) {
            check(CreateDirectoryA(path.c_str(), nullptr), "creating " + path);
            continue;
        }
        const std::string item = itemFolder(temp, record.item) + "\\" + std::to_string(record.item) + ".twi";
        check(MoveFileA(item.c_str(), path.c_str()), "moving " + item + " to " + path);
    }
    const Clock::time_point copied = Clock::now();

    for (int k = 0; k <= (mainItem - 1) / 100; ++k) RemoveDirectoryA((temp + "\\items" + std::to_string(k)).c_str());
    check(RemoveDirectoryA(temp.c_str()), "removing " + temp);
    const Clock::time_point cleaned = Clock::now();

    std::printf("phase extract %.6f\nphase copy %.6f\nphase clean-up %.6f\ntotal %.6f\n", since(start, extracted),
                since(extracted, copied), since(copied, cleaned), since(start, cleaned));
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarnwick-raw-files SOURCE DEST\n");
        return 1;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick-raw-files: %s\n", e.what());
        return 1;
    }
}
