#include "diagnostics.h"

#include <algorithm>
#include <cctype>
#include <ostream>

namespace tarnwick::pack {

void TDiagnostics::error(TSourcePos pos, std::string message, std::string hint) {
    items_.push_back({TSeverity::error, pos, std::move(message), std::move(hint)});
}

void TDiagnostics::warning(TSourcePos pos, std::string message, std::string hint) {
    items_.push_back({TSeverity::warning, pos, std::move(message), std::move(hint)});
}

std::size_t TDiagnostics::errorCount() const {
    return static_cast<std::size_t>(
        std::count_if(items_.begin(), items_.end(), [](const TDiagnostic& d) { return d.severity == TSeverity::error; }));
}

std::size_t TDiagnostics::warningCount() const { return items_.size() - errorCount(); }

std::vector<TDiagnostic> TDiagnostics::sorted() const {
    std::vector<TDiagnostic> out = items_;
    std::stable_sort(out.begin(), out.end(), [](const TDiagnostic& a, const TDiagnostic& b) { return a.pos < b.pos; });
    return out;
}

void TDiagnostics::promoteWarnings() {
    for (TDiagnostic& d : items_) d.severity = TSeverity::error;
}

namespace {

std::string lineOf(const std::string& text, int line) {
    std::size_t start = 0;
    for (int i = 1; i < line; ++i) {
        start = text.find('\n', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    std::size_t end = text.find('\n', start);
    std::string result = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!result.empty() && result.back() == '\r') result.pop_back();
    return result;
}

// Columns count characters, so the caret is placed by characters too (UTF-8 continuation bytes
// take no column); a tab is copied so the caret lines up under it.
std::string caretLine(const std::string& line, int column) {
    std::string pad;
    int seen = 1;
    for (std::size_t i = 0; i < line.size() && seen < column; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if ((c & 0xC0) == 0x80) continue;
        pad += c == '\t' ? '\t' : ' ';
        ++seen;
    }
    while (seen++ < column) pad += ' ';
    return pad + "^";
}

} // namespace

void printDiagnostics(std::ostream& out, const TDiagnostics& diagnostics, const std::string& fileLabel,
                      const std::string& text) {
    for (const TDiagnostic& d : diagnostics.sorted()) {
        out << fileLabel;
        if (d.pos.line > 0) out << ':' << d.pos.line << ':' << d.pos.column;
        out << ": " << (d.severity == TSeverity::error ? "error" : "warning") << ": " << d.message << '\n';
        if (d.pos.line > 0) {
            const std::string number = std::to_string(d.pos.line);
            out << ' ' << number << " | " << lineOf(text, d.pos.line) << '\n';
            out << ' ' << std::string(number.size(), ' ') << " | " << caretLine(lineOf(text, d.pos.line), d.pos.column)
                << '\n';
        }
        if (!d.hint.empty()) out << "  hint: " << d.hint << '\n';
    }
}

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

std::string closestMatch(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = std::max<std::size_t>(2, word.size() / 3) + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t d = editDistance(lower(word), lower(candidate));
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

} // namespace tarnwick::pack
