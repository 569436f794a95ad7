// Exclusion masks of a [[files]] folder entry, matched against paths relative to the source
// folder ('/' separators). `*` and `?` stay within one name, `**` spans folders. A mask without
// '/' matches a name at any depth; one with '/' is anchored at the source folder; a trailing '/'
// matches folders only. Letter case is ignored, as Windows ignores it.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::pack {

class TExcludeMask {
public:
    explicit TExcludeMask(const std::string& text);

    // relativePath: e.g. "docs/api/index.html"; isFolder: whether it names a folder.
    bool matches(const std::string& relativePath, bool isFolder) const;
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::vector<std::string> segments_;
    bool anchored_ = false;
    bool foldersOnly_ = false;
};

// Glob match of one name against one segment of a mask (`*`, `?`), ignoring ASCII case.
bool matchesNameGlob(const std::string& mask, const std::string& name);

} // namespace tarnwick::pack
