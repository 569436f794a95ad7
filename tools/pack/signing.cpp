#include "signing.h"

#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace tarnwick::pack {

namespace fs = std::filesystem;

int runProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
#ifdef _WIN32
    // _spawnvp joins the arguments with blanks: quote each one for the child's command line.
    std::vector<std::string> quoted;
    for (const std::string& a : arguments) quoted.push_back("\"" + a + "\"");
    std::vector<const char*> qargv;
    for (const std::string& a : quoted) qargv.push_back(a.c_str());
    qargv.push_back(nullptr);
    const intptr_t r = _spawnvp(_P_WAIT, arguments.front().c_str(), qargv.data());
    return r == -1 ? -1 : static_cast<int>(r);
#else
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

bool addSigningStep(const TSigningOptions& options, std::vector<TFinishingStep>& steps, std::string& problem) {
    const bool pkcs12 = !options.pkcs12.empty();
    const bool pair = !options.certificate.empty() || !options.key.empty();
    if (!pkcs12 && !pair) {
        if (!options.passwordFile.empty() || !options.timestampUrl.empty()) {
            problem = "--sign-pass-file and --timestamp-url need --sign or --sign-cert with --sign-key";
            return false;
        }
        return true;
    }
    if (pkcs12 && pair) {
        problem = "give either --sign (a PKCS#12 file) or --sign-cert with --sign-key, not both";
        return false;
    }
    if (pair && (options.certificate.empty() || options.key.empty())) {
        problem = "--sign-cert and --sign-key go together";
        return false;
    }
    steps.push_back([options](const fs::path& staging) {
        for (const fs::path& file : {options.pkcs12, options.certificate, options.key, options.passwordFile})
            if (!file.empty() && !fs::is_regular_file(file)) throw std::runtime_error("signing: " + file.string() + " does not exist");
        const fs::path unsigned_ = staging / "setup.exe";
        const fs::path signed_ = staging / "setup.signed.exe";
        std::vector<std::string> args = {options.program, "sign"};
        if (!options.pkcs12.empty()) {
            args.insert(args.end(), {"-pkcs12", options.pkcs12.string()});
        } else {
            args.insert(args.end(), {"-certs", options.certificate.string(), "-key", options.key.string()});
        }
        if (!options.passwordFile.empty()) args.insert(args.end(), {"-readpass", options.passwordFile.string()});
        if (!options.timestampUrl.empty()) args.insert(args.end(), {"-t", options.timestampUrl});
        if (options.signingTime) args.insert(args.end(), {"-time", std::to_string(*options.signingTime)});
        args.insert(args.end(), {"-h", "sha256", "-in", unsigned_.string(), "-out", signed_.string()});
        const int code = runProgram(args);
        if (code != 0) {
            std::error_code ec;
            fs::remove(signed_, ec);
            throw std::runtime_error(code == -1 ? "signing: cannot start " + options.program + " (is osslsigncode installed?)"
                                                : "signing: " + options.program + " failed with exit code " + std::to_string(code));
        }
        std::error_code ec;
        fs::rename(signed_, unsigned_, ec);
        if (ec) throw std::runtime_error("signing: cannot replace setup.exe: " + ec.message());
    });
    return true;
}

} // namespace tarnwick::pack
