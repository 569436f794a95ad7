// The example product under examples/notepad, turned into a package and numbered items.
#pragma once

#include "package/package_layout.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::demo {

struct TExampleItem {
    std::int32_t number;
    std::filesystem::path source; // the file the item carries
};

struct TExampleProduct {
    TPackage package;
    std::vector<TExampleItem> items;
};

// Every file under exampleDir/files becomes a numbered item copied to the same place under
// [INSTALLDIR]; its folders become folder records, parents first. mainProgram becomes the main
// item, installed as notepad.exe. Registry values of every kind and two extra shortcuts complete it.
TExampleProduct buildExampleProduct(const std::filesystem::path& exampleDir, const std::filesystem::path& mainProgram);

} // namespace tarnwick::demo
