#include "app/exit_codes.h"

namespace tarnwick {

TExitCode SetupExitCode = ecCancelled;

const char* exitCodeMeaning(TExitCode code) {
    switch (code) {
    case ecSuccess: return "success";
    case ecCouldNotStart: return "setup could not start";
    case ecCancelled: return "cancelled by the user";
    case ecFailed: return "the installation failed";
    case ecBadCommandLine: return "bad command line";
    }
    return "unknown";
}

} // namespace tarnwick
