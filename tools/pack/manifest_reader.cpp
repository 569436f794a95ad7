// Reading the manifest with toml++: the schema's tables and keys, their TOML types, and the keys
// that must be there. Meaning is checked later (package_plan.cpp), so every fault here is about
// the shape of the file.
#include "manifest.h"

#define TOML_ENABLE_FORMATTERS 0
// toml++ 3.3.0 asserts on some malformed input in builds without NDEBUG (parse_key, found by the
// manifest fuzzer) where its release build reports the input as a syntax error; the release
// parser is what the fuzzer runs under the sanitizers. Every build takes the release form.
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>

#include <algorithm>
#include <sstream>
#include <string_view>

namespace tarnwick::pack {

namespace {

TSourcePos posOf(const toml::source_region& region) {
    return {static_cast<int>(region.begin.line), static_cast<int>(region.begin.column)};
}

std::string typeName(toml::node_type type) {
    switch (type) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time: return "a date or time";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "nothing";
    }
}

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : ", ") + w;
    return out;
}

// One table of the schema: checks each key against the allowed ones and hands known keys on.
class TTableReader {
public:
    TTableReader(const toml::table& table, std::string where, std::vector<std::string> allowed, TDiagnostics& d)
        : table_(table), where_(std::move(where)), allowed_(std::move(allowed)), d_(d) {
        for (auto&& [key, node] : table_) {
            const std::string name(key.str());
            if (std::find(allowed_.begin(), allowed_.end(), name) != allowed_.end()) continue;
            const std::string near = closestMatch(name, allowed_);
            if (!near.empty())
                d_.error(posOf(key.source()), "unknown key '" + name + "' in " + where_ + "; did you mean '" + near + "'?");
            else
                d_.error(posOf(key.source()), "unknown key '" + name + "' in " + where_ + "; allowed keys: " + joined(allowed_));
        }
    }

    TText text(const char* key) {
        TText t;
        const toml::node* node = table_.get(key);
        if (node == nullptr) return t;
        t.pos = posOf(node->source());
        if (const auto* s = node->as_string()) {
            t.value = s->get();
            t.present = true;
        } else {
            d_.error(t.pos, "'" + std::string(key) + "' in " + where_ + " must be a string, not " + typeName(node->type()),
                     hintFor(key, *node));
        }
        return t;
    }

    TFlag flag(const char* key) {
        TFlag f;
        const toml::node* node = table_.get(key);
        if (node == nullptr) return f;
        f.pos = posOf(node->source());
        if (const auto* b = node->as_boolean()) {
            f.value = b->get();
            f.present = true;
        } else {
            d_.error(f.pos, "'" + std::string(key) + "' in " + where_ + " must be true or false, not " + typeName(node->type()));
        }
        return f;
    }

    std::vector<TText> texts(const char* key) {
        std::vector<TText> out;
        const toml::node* node = table_.get(key);
        if (node == nullptr) return out;
        if (node->is_string()) { // one mask may be written without brackets
            out.push_back(text(key));
            return out;
        }
        const auto* array = node->as_array();
        if (array == nullptr) {
            d_.error(posOf(node->source()), "'" + std::string(key) + "' in " + where_ + " must be an array of strings, not " +
                                                typeName(node->type()));
            return out;
        }
        for (const toml::node& element : *array) {
            TText t;
            t.pos = posOf(element.source());
            if (const auto* s = element.as_string()) {
                t.value = s->get();
                t.present = true;
                out.push_back(t);
            } else {
                d_.error(t.pos, "'" + std::string(key) + "' in " + where_ + " holds " + typeName(element.type()) +
                                    "; it takes strings only");
            }
        }
        return out;
    }

    const toml::node* node(const char* key) const { return table_.get(key); }

private:
    std::string hintFor(const char* key, const toml::node& node) const {
        // A float is shown as a float: turning 1e300 into an integer is undefined, 1.5 into 1 wrong.
        std::ostringstream number;
        if (const auto* i = node.as_integer())
            number << i->get();
        else if (const auto* f = node.as_floating_point())
            number << f->get();
        else
            return {};
        return "write it in quotes: " + std::string(key) + " = \"" + number.str() + "\"";
    }

    const toml::table& table_;
    std::string where_;
    std::vector<std::string> allowed_;
    TDiagnostics& d_;
};

void requireKeys(TDiagnostics& d, TSourcePos pos, const std::string& what,
                 std::initializer_list<std::pair<const char*, const TText*>> keys) {
    for (const auto& [name, text] : keys)
        if (!text->present && text->pos.line == 0) d.error(pos, what + " has no '" + name + "'");
}

// The [[name]] array of tables, or nothing; reports a [name] written as a plain table.
template <class Fn>
void forEachEntry(const toml::table& root, const char* name, TDiagnostics& d, Fn&& fn) {
    const toml::node* node = root.get(name);
    if (node == nullptr) return;
    const auto* array = node->as_array();
    if (array == nullptr) {
        d.error(posOf(node->source()), "'" + std::string(name) + "' must be a list of entries, written [[" + name +
                                           "]] before each one");
        return;
    }
    for (const toml::node& element : *array) {
        if (const auto* table = element.as_table()) {
            fn(*table, posOf(table->source()));
        } else {
            d.error(posOf(element.source()), "each entry of '" + std::string(name) + "' must be a table ([[" + name + "]])");
        }
    }
}

const std::vector<std::string> kTopLevel = {"product", "uninstall", "files", "folders", "registry", "shortcuts"};

} // namespace

TManifest readManifest(const std::string& text, const std::filesystem::path& file, TDiagnostics& d) {
    TManifest m;
    m.file = file;
    std::error_code ec;
    m.baseDir = std::filesystem::absolute(file, ec).parent_path();

    toml::table root;
    try {
        root = toml::parse(text, file.generic_string());
    } catch (const toml::parse_error& e) {
        const std::string description(e.description());
        std::string hint;
        if (description.find("escape") != std::string::npos)
            hint = "in \"...\" a backslash starts an escape; write Windows paths in single quotes: '[INSTALLDIR]\\bin'";
        d.error(posOf(e.source()), description, hint);
        return m;
    }
    m.syntaxOk = true;

    for (auto&& [key, node] : root) {
        const std::string name(key.str());
        if (std::find(kTopLevel.begin(), kTopLevel.end(), name) != kTopLevel.end()) continue;
        const std::string near = closestMatch(name, kTopLevel);
        d.error(posOf(key.source()), "unknown table or key '" + name + "'" +
                                         (near.empty() ? "; the manifest holds " + joined(kTopLevel) : "; did you mean '" + near + "'?"));
    }

    if (const toml::node* node = root.get("product")) {
        if (const auto* table = node->as_table()) {
            m.hasProduct = true;
            TProductSection& p = m.product;
            p.pos = posOf(table->source());
            TTableReader r(*table, "[product]",
                           {"name", "publisher", "version", "destination", "start_menu", "picture", "readme", "main"}, d);
            p.name = r.text("name");
            p.publisher = r.text("publisher");
            p.version = r.text("version");
            p.destination = r.text("destination");
            p.startMenu = r.text("start_menu");
            p.picture = r.text("picture");
            p.readme = r.text("readme");
            p.main = r.text("main");
            requireKeys(d, p.pos, "[product]", {{"name", &p.name}, {"publisher", &p.publisher}, {"destination", &p.destination}});
        } else {
            d.error(posOf(node->source()), "'product' must be a table: write [product] above its keys");
        }
    } else {
        d.error({1, 1}, "the manifest has no [product] table",
                "start from 'tarnwick-pack init', or see docs/manifest.md for the keys of [product]");
    }

    if (const toml::node* node = root.get("uninstall")) {
        if (const auto* table = node->as_table()) {
            m.hasUninstall = true;
            TUninstallSection& u = m.uninstall;
            u.pos = posOf(table->source());
            TTableReader r(*table, "[uninstall]", {"publisher_url", "help_url", "icon", "no_modify", "no_repair"}, d);
            u.publisherUrl = r.text("publisher_url");
            u.helpUrl = r.text("help_url");
            u.icon = r.text("icon");
            u.noModify = r.flag("no_modify");
            u.noRepair = r.flag("no_repair");
        } else {
            d.error(posOf(node->source()), "'uninstall' must be a table: write [uninstall] above its keys");
        }
    }

    forEachEntry(root, "files", d, [&](const toml::table& table, TSourcePos pos) {
        TFilesEntry e;
        e.pos = pos;
        TTableReader r(table, "[[files]]", {"source", "to", "exclude", "rename"}, d);
        e.source = r.text("source");
        e.to = r.text("to");
        e.rename = r.text("rename");
        e.exclude = r.texts("exclude");
        requireKeys(d, pos, "this [[files]] entry", {{"source", &e.source}, {"to", &e.to}});
        m.files.push_back(std::move(e));
    });
    forEachEntry(root, "folders", d, [&](const toml::table& table, TSourcePos pos) {
        TFolderEntry e;
        e.pos = pos;
        TTableReader r(table, "[[folders]]", {"path"}, d);
        e.path = r.text("path");
        requireKeys(d, pos, "this [[folders]] entry", {{"path", &e.path}});
        m.folders.push_back(std::move(e));
    });
    forEachEntry(root, "registry", d, [&](const toml::table& table, TSourcePos pos) {
        TRegistryEntry e;
        e.pos = pos;
        TTableReader r(table, "[[registry]]", {"key", "name", "kind", "data"}, d);
        e.key = r.text("key");
        e.name = r.text("name");
        e.kind = r.text("kind");
        if (const toml::node* data = r.node("data")) {
            e.hasData = true;
            e.dataPos = posOf(data->source());
            if (const auto* s = data->as_string()) {
                e.data = {s->get(), e.dataPos, true};
            } else if (const auto* i = data->as_integer()) {
                e.dataInteger = i->get();
            } else {
                e.hasData = false;
                d.error(e.dataPos, "'data' in [[registry]] must be a string or an integer, not " + typeName(data->type()));
            }
        }
        requireKeys(d, pos, "this [[registry]] entry", {{"key", &e.key}});
        m.registry.push_back(std::move(e));
    });
    forEachEntry(root, "shortcuts", d, [&](const toml::table& table, TSourcePos pos) {
        TShortcutEntry e;
        e.pos = pos;
        TTableReader r(table, "[[shortcuts]]", {"name", "target"}, d);
        e.name = r.text("name");
        e.target = r.text("target");
        requireKeys(d, pos, "this [[shortcuts]] entry", {{"name", &e.name}, {"target", &e.target}});
        m.shortcuts.push_back(std::move(e));
    });
    return m;
}

} // namespace tarnwick::pack
