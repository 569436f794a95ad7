#include "exclude_masks.h"

#include <cctype>

namespace tarnwick::pack {

namespace {

std::vector<std::string> splitSlashes(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t slash = text.find('/', start);
        const std::string part = text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!part.empty()) out.push_back(part);
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return out;
}

bool sameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

// Segments of the mask against segments of the path; "**" takes any number of path segments.
bool matchSegments(const std::vector<std::string>& mask, std::size_t m, const std::vector<std::string>& path, std::size_t p) {
    if (m == mask.size()) return p == path.size();
    if (mask[m] == "**") {
        for (std::size_t skip = p; skip <= path.size(); ++skip)
            if (matchSegments(mask, m + 1, path, skip)) return true;
        return false;
    }
    return p < path.size() && matchesNameGlob(mask[m], path[p]) && matchSegments(mask, m + 1, path, p + 1);
}

} // namespace

bool matchesNameGlob(const std::string& mask, const std::string& name) {
    // Iterative glob with one backtrack point, the classic linear-time form.
    std::size_t m = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && sameLetter(mask[m], name[n])))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            resume = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

TExcludeMask::TExcludeMask(const std::string& text) : text_(text) {
    std::string body = text;
    for (char& c : body)
        if (c == '\\') c = '/';
    foldersOnly_ = !body.empty() && body.back() == '/';
    while (!body.empty() && body.back() == '/') body.pop_back();
    anchored_ = body.find('/') != std::string::npos;
    segments_ = splitSlashes(body);
}

bool TExcludeMask::matches(const std::string& relativePath, bool isFolder) const {
    if (segments_.empty() || (foldersOnly_ && !isFolder)) return false;
    const std::vector<std::string> path = splitSlashes(relativePath);
    if (path.empty()) return false;
    if (!anchored_) return matchesNameGlob(segments_.front(), path.back()) && segments_.size() == 1;
    return matchSegments(segments_, 0, path, 0);
}

} // namespace tarnwick::pack
