// The setup program's exit codes, the same in every mode (wizard, unattended, uninstaller). The
// README's table is the documentation deployment tools script against: change both together.
#pragma once

namespace tarnwick {

enum TExitCode : int {
    ecSuccess = 0,        // installed, or uninstalled
    ecCouldNotStart = 1,  // package missing or damaged, wrong signature, no temporary folder, log not writable
    ecCancelled = 2,      // Exit Setup, or No to the uninstall question
    ecFailed = 3,         // the installation failed: its own failures, an archive error, any other error
    ecBadCommandLine = 4, // an unknown or malformed switch in unattended mode
};

const char* exitCodeMeaning(TExitCode code);

// Set as the run decides; what WinMain returns. A program that ends without deciding (the user
// left the wizard through Exit Setup) was cancelled.
extern TExitCode SetupExitCode;

} // namespace tarnwick
