// Faults found in a manifest, each tied to a line and column, collected so one run reports them
// all. Printed sorted by position, compiler style:
//   tarnwick.toml:12:9: error: source 'build/relase' does not exist (...)
//      12 | source = "build/relase"
//         |          ^
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace tarnwick::pack {

// 1-based; 0 means "the manifest as a whole" (no line to point at).
struct TSourcePos {
    int line = 0;
    int column = 0;

    friend bool operator==(const TSourcePos&, const TSourcePos&) = default;
    friend auto operator<=>(const TSourcePos&, const TSourcePos&) = default;
};

enum class TSeverity { error, warning };

struct TDiagnostic {
    TSeverity severity = TSeverity::error;
    TSourcePos pos;
    std::string message;
    std::string hint; // optional second line, printed as "hint: ..."
};

class TDiagnostics {
public:
    void error(TSourcePos pos, std::string message, std::string hint = {});
    void warning(TSourcePos pos, std::string message, std::string hint = {});

    std::size_t errorCount() const;
    std::size_t warningCount() const;
    bool hasErrors() const { return errorCount() > 0; }
    const std::vector<TDiagnostic>& all() const { return items_; }
    // Sorted by position (stable, so faults at one place keep the order they were found in).
    std::vector<TDiagnostic> sorted() const;
    // Turns every warning into an error (--warnings-as-errors).
    void promoteWarnings();

private:
    std::vector<TDiagnostic> items_;
};

// Prints every diagnostic with the manifest's line and a caret under the column. fileLabel is
// how the manifest is named in the output; text is its contents (for the quoted lines).
void printDiagnostics(std::ostream& out, const TDiagnostics& diagnostics, const std::string& fileLabel,
                      const std::string& text);

// "did you mean" support: the candidate closest to word, or empty when none is close enough.
std::size_t editDistance(const std::string& a, const std::string& b);
std::string closestMatch(const std::string& word, const std::vector<std::string>& candidates);

} // namespace tarnwick::pack
