// One row per validation rule: a manifest with one fault, the message it must give and the line
// and column it must point at. Every row also checks that nothing else is reported as an error,
// so a rule that fires on valid input shows up here too.
#include "pack_fixtures.h"

#include "manifest.h"
#include "package_plan.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace tarnwick::pack;
using packtest::TProductFolder;

struct TFaultCase {
    const char* rule;
    std::string productLine; // line 5, inside [product]
    std::string tail;        // from line 10 on
    int line;
    int column;
    std::string message; // a part of the message
    TSeverity severity = TSeverity::error;
    std::string name = "P";
};

std::string manifestText(const TFaultCase& c) {
    return "[product]\nname = '" + c.name + "'\npublisher = 'Q'\ndestination = '[PROGRAMFILES]\\P'\n" +
           (c.productLine.empty() ? "#" : c.productLine) +
           "\n[[files]]\nsource = 'app'\nto = '[INSTALLDIR]'\nexclude = ['*.pdb', 'docs/api/']\n" + c.tail;
}

const std::string k300(300, 'n');
const std::string k600(600, 'd');

const TFaultCase kCases[] = {
    {"syntax, with the hint about backslashes", "", "[[files]]\nsource = \"app\\docs\"\n", 11, 15, "escape"},
    {"unknown key, with the near one", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nnmae = 'v'\n", 12, 1,
     "unknown key 'nmae' in [[registry]]; did you mean 'name'?"},
    {"unknown key, with the allowed ones", "", "[[folders]]\nwhere = 'x'\npath = '[INSTALLDIR]\\x'\n", 11, 1,
     "allowed keys: path"},
    {"unknown table", "", "[shortcut]\nname = 'x'\n", 10, 2, "did you mean 'shortcuts'?"},
    {"required key", "", "[[shortcuts]]\nname = 'X'\n", 10, 1, "this [[shortcuts]] entry has no 'target'"},
    {"wrong TOML type", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'W'\nkind = 'number'\ndata = '800'\n", 14, 8,
     "'data' of a number value must be an integer, not a string"},
    {"missing source, near name", "", "[[files]]\nsource = 'app/redme.txt'\nto = '[INSTALLDIR]\\x'\n", 11, 10,
     "source 'app/redme.txt' does not exist (looked for"},
    {"missing source, letter case", "", "[[files]]\nsource = 'app/README.txt'\nto = '[INSTALLDIR]\\x'\n", 11, 10,
     "letter case"},
    {"missing picture", "picture = 'art/intro.gif'", "", 5, 11, "picture 'art/intro.gif' does not exist"},
    {"rename on a folder", "", "[[files]]\nsource = 'app/docs'\nto = '[INSTALLDIR]\\x'\nrename = 'y'\n", 13, 10,
     "'rename' applies to a single file, but 'app/docs' is a folder"},
    {"exclude on a file", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]\\x'\nexclude = ['*.txt']\n", 13, 12,
     "'exclude' applies to a folder, but 'LICENSE' is a file"},
    {"nothing left after exclusion", "", "[[files]]\nsource = 'app/docs'\nto = '[INSTALLDIR]\\d'\nexclude = ['*']\n", 11, 10,
     "'app/docs' has no files left after its exclude masks"},
    {"exclude mask matching nothing", "", "[[files]]\nsource = 'app/docs'\nto = '[INSTALLDIR]\\d'\nexclude = ['*.pbd']\n", 13, 12,
     "exclude mask '*.pbd' matched nothing in 'app/docs'", TSeverity::warning},
    {"destination without a placeholder", "", "[[files]]\nsource = 'LICENSE'\nto = 'C:\\Notepad'\n", 12, 6,
     "destination 'C:\\Notepad' must start with [INSTALLDIR], [PROGRAMFILES], [SYSTEMDIR] or [WINDIR]"},
    {"unknown placeholder", "", "[[files]]\nsource = 'LICENSE'\nto = '[APPDIR]\\x'\n", 12, 6,
     "unknown placeholder '[APPDIR]'; did you mean '[INSTALLDIR]'?"},
    {"absolute source", "", "[[files]]\nsource = '/etc'\nto = '[INSTALLDIR]\\x'\n", 11, 10,
     "source '/etc' must be relative to the manifest's folder"},
    {"placeholder never closed", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR\\x'\n", 12, 6,
     "destination '[INSTALLDIR\\x' opens a placeholder with '[' but never closes it with ']'"},
    {"product destination of [INSTALLDIR]", "", "", 4, 15, "cannot start with [INSTALLDIR]", TSeverity::error},
    {"destination leaving its placeholder", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]\\..\\x'\n", 12, 6,
     "leaves [INSTALLDIR]: '..', drive letters and \\\\server names are not allowed"},
    {"server name in a destination", "", "[[folders]]\npath = '[WINDIR]\\\\server\\share'\n", 11, 8, "leaves [WINDIR]"},
    {"placeholder glued to a name", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]bin'\n", 12, 6,
     "has no '\\' after the placeholder"},
    {"reserved device name", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]'\nrename = 'aux.txt'\n", 13, 10,
     "'aux.txt' is a reserved device name on Windows"},
    {"two files to one destination, ignoring case", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]'\nrename = 'README.TXT'\n",
     10, 1, "two files go to '[INSTALLDIR]\\README.TXT' (Windows ignores letter case): 'app/readme.txt' (line 6) and 'LICENSE' (line 10)"},
    {"main program not installed", "main = '[INSTALLDIR]\\prog.ex'", "", 5, 8,
     "main '[INSTALLDIR]\\prog.ex' is not the destination of any [[files]] entry; did you mean '[INSTALLDIR]\\prog.exe'?"},
    {"shortcut target not installed", "", "[[shortcuts]]\nname = 'Guide'\ntarget = '[INSTALLDIR]\\guide.txt'\n", 12, 10,
     "setup would skip the shortcut silently"},
    {"registry root", "", "[[registry]]\nkey = 'HKEY_LOCAL_MACHNE\\SOFTWARE\\X'\n", 11, 7,
     "registry key 'HKEY_LOCAL_MACHNE\\SOFTWARE\\X' must start with HKEY_CLASSES_ROOT"},
    {"unknown kind", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'W'\nkind = 'dword'\ndata = 1\n", 13, 8,
     "unknown kind 'dword'; use string, number, binary, multi-string or expandable-string (a DWORD is \"number\")"},
    {"kind without a name", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nkind = 'number'\n", 12, 8, "'kind' and 'data' need a 'name'"},
    {"number beyond 32 bits", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'W'\nkind = 'number'\ndata = 4294967296\n", 14, 8,
     "4294967296 does not fit a 32-bit number"},
    {"number below 32 bits", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'W'\nkind = 'number'\ndata = -2147483649\n", 14, 8,
     "-2147483649 does not fit a 32-bit number"},
    {"binary digits other than 0 and 1", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'B'\nkind = 'binary'\ndata = '0102'\n",
     14, 12, "binary data '0102' may hold only the digits 0 and 1"},
    {"binary longer than a byte", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'B'\nkind = 'binary'\ndata = '100000000'\n",
     14, 8, "binary data has 9 digits; a binary value holds one byte (at most 8)"},
    {"(Default) of another kind", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = '(Default)'\nkind = 'number'\ndata = 1\n", 13, 8,
     "'(Default)' can only be of kind \"string\""},
    {"value written twice", "",
     "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'V'\ndata = 'a'\n[[registry]]\nkey = 'hkey_current_user\\software\\x'\nname = 'v'\ndata = 'b'\n",
     14, 1, "is already written at line 10"},
    {"value under the uninstall entry", "",
     "[[registry]]\nkey = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\P'\nname = 'Comments'\ndata = 'x'\n", 11, 7,
     "set its values in [uninstall]"},
    {"character outside Windows-1252", "version = '2.0 \xC5\x81'", "", 5, 16,
     "version contains '\xC5\x81' (U+0141), which Windows-1252 cannot hold"},
    {"text longer than its field", "", "[[registry]]\nkey = 'HKCU\\Software\\X'\nname = 'Long'\ndata = '" + k600 + "'\n", 13, 8,
     "this text is 600 bytes in Windows-1252; the package holds at most 511"},
    {"product name with a colon", "", "", 2, 8, "product name 'Notes: Pro' cannot contain \\ / : * ? \" < > |", TSeverity::error,
     "Notes: Pro"},
    {"product name too long for a key", "", "", 2, 8, "product name is 300 characters; a registry key name holds at most 255",
     TSeverity::error, k300},
    {"product name too long for its shortcut", "", "", 2, 8, "Windows paths stop at 260", TSeverity::error, std::string(120, 'p')},
    {"shortcut named like the main shortcut", "",
     "[[shortcuts]]\nname = 'p'\ntarget = '[INSTALLDIR]\\readme.txt'\n", 11, 8, "is already taken by the main shortcut"},
    {"picture that is a PNG", "picture = 'art/intro.png'", "", 5, 11,
     "picture 'art/intro.png' is a PNG; setup shows JPEG or BMP"},
    {"HKEY_LOCAL_MACHINE outside SOFTWARE", "", "[[registry]]\nkey = 'HKLM\\SYSTEM\\X'\n", 11, 7,
     "'HKEY_LOCAL_MACHINE\\SYSTEM\\X' is outside HKEY_LOCAL_MACHINE\\SOFTWARE", TSeverity::warning},
    {"a file where a folder must be", "", "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]'\nrename = 'docs'\n", 10, 1,
     "'LICENSE' is installed as '[INSTALLDIR]\\docs', which is also a folder of this package"},
    {"destination near Windows' path limit", "",
     "[[files]]\nsource = 'LICENSE'\nto = '[INSTALLDIR]\\" + std::string(200, 'f') + "'\n", 10, 1,
     "characters before expansion; Windows paths stop at 260", TSeverity::warning},
};

class ManifestFaults : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(ManifestFaults, ReportsTheFaultAtItsPlace) {
    static TProductFolder product("faults");
    TFaultCase c = GetParam();
    std::string text = manifestText(c);
    if (std::string(c.rule) == "product destination of [INSTALLDIR]") {
        text.replace(text.find("[PROGRAMFILES]\\P"), 16, "[INSTALLDIR]\\P");
        c.message = "[product] destination cannot start with [INSTALLDIR]";
    }
    if (std::string(c.rule) == "text longer than its field") c.message = "is 600 bytes in Windows-1252; the package holds at most 511";
    const fs::path file = product.manifest(text);
    TDiagnostics d;
    const TManifest m = readManifest(text, file, d);
    if (m.syntaxOk) planPackage(m, {}, d);

    std::ostringstream printed;
    printDiagnostics(printed, d, "tarnwick.toml", text);
    bool found = false;
    for (const TDiagnostic& x : d.all())
        found = found || (x.pos.line == c.line && x.pos.column == c.column && x.severity == c.severity &&
                          x.message.find(c.message) != std::string::npos);
    EXPECT_TRUE(found) << "expected at " << c.line << ":" << c.column << ": " << c.message << "\ngot:\n" << printed.str();
    EXPECT_EQ(d.errorCount(), c.severity == TSeverity::error ? 1u : 0u) << printed.str();
}

INSTANTIATE_TEST_SUITE_P(OneRowPerRule, ManifestFaults, ::testing::ValuesIn(kCases), [](const auto& row) {
    std::string name;
    for (char ch : std::string(row.param.rule)) name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
});

TEST(ManifestFaults, AllFaultsOfOneManifestAreReportedSortedWithSourceLinesAndCarets) {
    TProductFolder product("all-faults");
    const std::string text = "[product]\nname = 'P'\npublisher = 'Q'\ndestinaton = 'x'\n\n[[files]]\nsource = 'nowhere'\nto = 'C:\\x'\n";
    TDiagnostics d;
    const TManifest m = readManifest(text, product.manifest(text), d);
    planPackage(m, {}, d);
    std::ostringstream out;
    printDiagnostics(out, d, "tarnwick.toml", text);
    EXPECT_EQ(out.str(),
              "tarnwick.toml:1:1: error: [product] has no 'destination'\n"
              " 1 | [product]\n"
              "   | ^\n"
              "tarnwick.toml:4:1: error: unknown key 'destinaton' in [product]; did you mean 'destination'?\n"
              " 4 | destinaton = 'x'\n"
              "   | ^\n"
              "tarnwick.toml:7:10: error: source 'nowhere' does not exist (looked for " +
                  (product.root() / "nowhere").string() +
                  ")\n"
                  " 7 | source = 'nowhere'\n"
                  "   |          ^\n"
                  "tarnwick.toml:8:6: error: destination 'C:\\x' must start with [INSTALLDIR], [PROGRAMFILES], [SYSTEMDIR] or [WINDIR]\n"
                  " 8 | to = 'C:\\x'\n"
                  "   |      ^\n");
}

} // namespace
