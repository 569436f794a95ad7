// tarnwick-pack: builds a setup folder from a product folder and a manifest, and inspects,
// verifies and starts manifests. Exit codes: 0 done, 1 a fault in the input, 2 wrong usage.
#include "build_command.h"
#include "init_command.h"
#include "inspect_command.h"
#include "progress_bar.h"
#include "signing.h"
#include "verify_command.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdlib>
#include <iostream>
#include <thread>

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace fs = std::filesystem;
using namespace tarnwick::pack;

namespace {

// SOURCE_DATE_EPOCH, when set: a whole number of seconds; anything else is a usage error.
bool sourceDateEpoch(std::optional<std::int64_t>& epoch) {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') return true;
    std::int64_t value = 0;
    const std::string s = text;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || value < 0) {
        std::cerr << "tarnwick-pack: SOURCE_DATE_EPOCH='" << s << "' is not a number of seconds\n";
        return false;
    }
    epoch = value;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"tarnwick-pack: makes a setup folder (setup.exe, _setup.pkg, _setup.dat) from a product folder and a "
                 "TOML manifest.\nSee docs/manifest.md for the manifest.",
                 "tarnwick-pack"};
    app.set_version_flag("--version", "tarnwick-pack " TARNWICK_VERSION);
    app.require_subcommand(1);

    TBuildOptions build;
    std::string arch = "x64";
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    TSigningOptions signing;
    CLI::App* buildCmd = app.add_subcommand("build", "Build a setup folder from a manifest");
    buildCmd->add_option("MANIFEST", build.manifest, "The manifest (TOML)")->required();
    buildCmd->add_option("-o,--output", build.output, "The setup folder to write (replaced when the build succeeds)")->required();
    buildCmd->add_option("--arch", arch, "Architecture of setup.exe")->check(CLI::IsMember({"x64", "x86"}))->capture_default_str();
    buildCmd->add_option("--level", build.level, "Deflate level of the data archive, 0 (store) to 9")
        ->check(CLI::Range(0, 9))
        ->capture_default_str();
    buildCmd->add_option("-j,--jobs", jobs, "Compression threads (the output does not depend on it)")
        ->check(CLI::Range(1u, 64u))
        ->capture_default_str();
    buildCmd->add_option("--stub", build.stub, "The setup program to ship (default: the installed one for --arch)");
    buildCmd->add_flag("--single-file", build.singleFile,
                       "Write one <product>-setup.exe: the launcher with the setup folder appended");
    buildCmd->add_option("--launcher", build.launcher,
                         "The launcher for --single-file (default: the installed one for --arch)");
    buildCmd->add_flag("--warnings-as-errors", build.warningsAsErrors, "Refuse to build when the manifest has warnings");
    buildCmd->add_option("--sign", signing.pkcs12, "Sign setup.exe with this PKCS#12 file (through osslsigncode)");
    buildCmd->add_option("--sign-cert", signing.certificate, "Sign with this certificate (PEM or DER)...");
    buildCmd->add_option("--sign-key", signing.key, "...and this private key");
    buildCmd->add_option("--sign-pass-file", signing.passwordFile, "A file holding the key's password");
    buildCmd->add_option("--timestamp-url", signing.timestampUrl, "Time-stamping service for the signature");

    std::string inspectTarget;
    fs::path extractTo;
    CLI::App* inspectCmd = app.add_subcommand("inspect", "Print a setup folder's package as a manifest, and its items");
    inspectCmd->add_option("TARGET", inspectTarget, "A setup folder, or a _setup.pkg file")->required();
    inspectCmd->add_option("--extract", extractTo,
                           "Also write the items, the picture and the printed manifest (tarnwick.toml) into this folder, "
                           "ready to build the same package again");

    fs::path verifyDir;
    CLI::App* verifyCmd = app.add_subcommand("verify", "Check a setup folder the way setup reads it");
    verifyCmd->add_option("DIR", verifyDir, "The setup folder")->required();

    fs::path initDir = ".";
    bool initForce = false;
    CLI::App* initCmd = app.add_subcommand("init", "Write a starter manifest (tarnwick.toml) for the files in a folder");
    initCmd->add_option("DIR", initDir, "The product's folder")->capture_default_str();
    initCmd->add_flag("--force", initForce, "Replace an existing tarnwick.toml");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    if (*buildCmd) {
        if (!sourceDateEpoch(build.plan.sourceDateEpoch)) return 2;
        build.arch = arch == "x86" ? TArch::x86 : TArch::x64;
        build.threads = jobs;
        build.self = selfExecutablePath(argc > 0 ? argv[0] : nullptr);
        build.progress = isTerminal(2);
        std::string problem;
        signing.signingTime = build.plan.sourceDateEpoch;
        if (!addSigningStep(signing, build.finishingSteps, problem)) {
            std::cerr << "tarnwick-pack: " << problem << '\n';
            return 2;
        }
        return buildSetupFolder(build, std::cout, std::cerr);
    }
    if (*inspectCmd) return inspectSetup(inspectTarget, extractTo, std::cout, std::cerr);
    if (*verifyCmd) return verifySetupFolder(verifyDir, std::cout);
    if (*initCmd) return writeStarterManifest(initDir, initForce, std::cout, std::cerr);
    return 2;
}
