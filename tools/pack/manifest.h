// The manifest as written: every value with the place it was written at, so the checks that
// follow reading can point at it. Nothing here is checked beyond TOML types; package_plan.h does
// the rest.
#pragma once

#include "diagnostics.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::pack {

struct TText {
    std::string value; // UTF-8 as written
    TSourcePos pos;    // of the value
    bool present = false;
};

struct TFlag {
    bool value = false;
    TSourcePos pos;
    bool present = false;
};

struct TProductSection {
    TSourcePos pos; // the [product] header
    TText name, publisher, version, destination, startMenu, picture, readme, main;
};

struct TUninstallSection {
    TSourcePos pos;
    TText publisherUrl, helpUrl, icon;
    TFlag noModify, noRepair;
};

struct TFilesEntry {
    TSourcePos pos; // the [[files]] header
    TText source, to, rename;
    std::vector<TText> exclude;
};

struct TFolderEntry {
    TSourcePos pos;
    TText path;
};

struct TRegistryEntry {
    TSourcePos pos;
    TText key, name, kind;
    TText data;                      // string data as written
    std::optional<std::int64_t> dataInteger; // data written as a TOML integer
    TSourcePos dataPos;              // of data, whatever its type
    bool hasData = false;
};

struct TShortcutEntry {
    TSourcePos pos;
    TText name, target;
};

struct TManifest {
    std::filesystem::path file;    // the manifest itself
    std::filesystem::path baseDir; // sources are relative to it
    bool syntaxOk = false; // false: TOML syntax error, nothing else was read
    bool hasProduct = false;
    TProductSection product;
    bool hasUninstall = false;
    TUninstallSection uninstall;
    std::vector<TFilesEntry> files;
    std::vector<TFolderEntry> folders;
    std::vector<TRegistryEntry> registry;
    std::vector<TShortcutEntry> shortcuts;
};

// Parses text (the contents of file) into a manifest. TOML syntax errors stop there (the parser
// cannot go on); everything else found is reported and reading goes on: unknown keys and tables,
// wrong TOML types, missing required keys.
TManifest readManifest(const std::string& text, const std::filesystem::path& file, TDiagnostics& diagnostics);

} // namespace tarnwick::pack
