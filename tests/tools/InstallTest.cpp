// cmake --install into a throw-away prefix: a launcher desktop-file-validate
// accepts and that names what was installed.  The Debian package: what cpack
// makes of the same install, looked at and run unpacked, never installed.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ToolRuns.h"

namespace fs = std::filesystem;
using hlvtools::exitStatus;
using hlvtools::run;

namespace {

std::string quoted(const std::string& path) { return "'" + path + "'"; }   // the paths here hold no quote

// Key = value lines of the launcher's one group.
std::map<std::string, std::string> readEntry(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) keys[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return keys;
}

TEST(Install, PrefixGetsAValidLauncherAndTheDebianPackagePassesLintianAndRunsUnpacked) {
    hlvtest::TempDataFolder scratch;
    const fs::path log = fs::path(scratch.root()) / "log.txt";
    std::string said;
    // Characters the launcher has to escape.
    const fs::path prefix = fs::path(scratch.root()) / "inst $HOME 100%";
    ASSERT_EQ(run("cmake --install " HLV_BINARY_DIR " --prefix " + quoted(prefix.string()), log, &said), 0) << said;
    const fs::path launcher = prefix / "share/applications/halvoren.desktop";
    ASSERT_EQ(exitStatus("command -v desktop-file-validate >/dev/null"), 0) << "desktop-file-validate is missing";
    EXPECT_EQ(run("desktop-file-validate " + quoted(launcher.string()), log, &said), 0) << said;
    std::map<std::string, std::string> entry = readEntry(launcher);
    // Quoted, with "$" written "\\$" and "%" written "%%".
    EXPECT_EQ(entry["Exec"], "\"" + scratch.root() + "inst \\\\$HOME 100%%/bin/halvoren\"");
    EXPECT_EQ(entry["Path"], (prefix / "share/halvoren").string());

    const fs::path out = fs::path(scratch.root()) / "deb";
    ASSERT_EQ(run("cd " HLV_BINARY_DIR " && cpack -G DEB -B " + quoted(out.string()), log, &said), 0) << said;
    ASSERT_EQ(run("dpkg --print-architecture", log, &said), 0) << said;
    const fs::path deb = out / ("halvoren_" HLV_PROJECT_VERSION "_" + said.substr(0, said.find('\n')) + ".deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << deb;
    ASSERT_EQ(exitStatus("command -v lintian >/dev/null"), 0) << "lintian is missing";
    EXPECT_EQ(run("lintian --fail-on error " + quoted(deb.string()), log, &said), 0) << said;
    // No binary names the fonts the texts are drawn with.
    ASSERT_EQ(run("dpkg-deb -f " + quoted(deb.string()) + " Depends", log, &said), 0) << said;
    EXPECT_NE(said.find("fonts-liberation2"), std::string::npos) << said;

    // Everything under /usr, nothing of the staging folder in a path.
    ASSERT_EQ(run("dpkg-deb -c " + quoted(deb.string()) + " | awk '{print $6}'", log, &said), 0) << said;
    std::istringstream listing(said);
    for (std::string line; std::getline(listing, line);) EXPECT_TRUE(line.rfind("./usr/", 0) == 0 || line == "./") << line;

    const fs::path root = fs::path(scratch.root()) / "root";
    ASSERT_EQ(run("dpkg-deb -x " + quoted(deb.string()) + " " + quoted(root.string()), log, &said), 0) << said;
    // The launcher names where the package puts things, not where cpack staged them.
    entry = readEntry(root / "usr/share/applications/halvoren.desktop");
    EXPECT_EQ(entry["Exec"], "\"/usr/bin/halvoren\"");
    EXPECT_EQ(entry["Path"], "/usr/share/halvoren");
    // A manual page for each program, more than a stub, and the icon the launcher names.
    for (const char* page : {"man6/halvoren.6.gz", "man1/halvoren-capture.1.gz", "man1/halvoren-content.1.gz",
                             "man1/halvoren-pack.1.gz"})
        EXPECT_GT(fs::exists(root / "usr/share/man" / page) ? fs::file_size(root / "usr/share/man" / page) : 0, 200u) << page;
    EXPECT_TRUE(fs::is_regular_file(root / "usr/share/icons/hicolor/128x128/apps/halvoren.png"));

    // The unpacked capture tool plays the unpacked content: a few small frames.
    const fs::path frames = fs::path(scratch.root()) / "frames";
    EXPECT_EQ(run(quoted((root / "usr/bin/halvoren-capture").string()) + " --dir " + quoted((root / "usr/share/halvoren").string()) +
                      " --size 64x48 --fps 10 --to 300 --frames " + quoted(frames.string()), log, &said), 0) << said;
    EXPECT_TRUE(fs::is_regular_file(frames / "frame-000002.png")) << said;
}

}  // namespace
