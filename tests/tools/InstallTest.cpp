// cmake --install into a throw-away prefix: the programs, the content the
// show reads, and a launcher that desktop-file-validate accepts and that
// names what was installed.  The Debian package: what cpack makes of the
// same install, looked at and run unpacked, never installed.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Icon.h"
#include "TestSupport.h"
#include "ToolRuns.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;
using hlvtools::exitStatus;
using hlvtools::run;

namespace {

constexpr const char* kPrograms[] = {"halvoren", "halvoren-capture", "halvoren-content", "halvoren-pack"};

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

TEST(Install, PutsTheProgramsContentAndAValidLauncherUnderThePrefix) {
    hlvtest::TempDataFolder scratch;
    // Characters the launcher has to escape.
    const fs::path prefix = fs::path(scratch.root()) / "inst $HOME 100%";
    std::string said;
    ASSERT_EQ(run("cmake --install " HLV_BINARY_DIR " --prefix " + quoted(prefix.string()), prefix.parent_path() / "log.txt", &said), 0)
        << said;
    // What is installed where is checked on the package, made of the same install.
    const fs::path launcher = prefix / "share/applications/halvoren.desktop";
    ASSERT_EQ(exitStatus("command -v desktop-file-validate >/dev/null"), 0) << "desktop-file-validate is missing";
    EXPECT_EQ(run("desktop-file-validate " + quoted(launcher.string()), prefix.parent_path() / "log.txt", &said), 0) << said;
    std::map<std::string, std::string> entry = readEntry(launcher);
    // Quoted, with "$" written "\\$" and "%" written "%%".
    EXPECT_EQ(entry["Exec"], "\"" + scratch.root() + "inst \\\\$HOME 100%%/bin/halvoren\"");
    EXPECT_EQ(entry["Path"], (prefix / "share/halvoren").string());

    // The launcher's folder holds what the show reads first, and the icon
    // decodes through the show's own decoder.
    DataFileService files(entry["Path"] + "/");
    files.init();
    EXPECT_NE(files.find("hlv.txt"), nullptr);
    PixelImage menu, icon;
    ASSERT_NO_THROW(decodeImage(menu, "menu.jpg", files));
    freeBlock(menu.pixels);
    EXPECT_EQ(fs::path(entry["Icon"]).parent_path().parent_path().filename(), "128x128");
    fs::copy_file(entry["Icon"], scratch.root() + "data/icon.png");
    DataFileService scratchFiles(scratch.root());
    decodeImage(icon, "icon.png", scratchFiles);
    EXPECT_EQ((std::vector<int>{icon.width, icon.height, icon.bytesPerPixel}),
              (std::vector<int>{gen::kIconSize, gen::kIconSize, 4}))
        << "a 128x128 theme icon, with its rounded corners clear";
    freeBlock(icon.pixels);
}

TEST(Install, DebianPackageHoldsEverythingPassesLintianAndRunsUnpacked) {
    hlvtest::TempDataFolder scratch;
    const fs::path out = fs::path(scratch.root()) / "deb", log = fs::path(scratch.root()) / "log.txt";
    std::string said;
    ASSERT_EQ(run("cd " HLV_BINARY_DIR " && cpack -G DEB -B " + quoted(out.string()), log, &said), 0) << said;
    ASSERT_EQ(run("dpkg --print-architecture", log, &said), 0) << said;
    const std::string arch = said.substr(0, said.find('\n'));
    const fs::path deb = out / ("halvoren_" HLV_PROJECT_VERSION "_" + arch + ".deb");
    ASSERT_TRUE(fs::is_regular_file(deb)) << deb;

    // The control fields: the project's version, and the libraries found in
    // the binaries, beside the fonts no binary names.
    ASSERT_EQ(run("dpkg-deb -f " + quoted(deb.string()) + " Package Version Architecture Section Depends", log, &said), 0)
        << said;
    for (const std::string& field : std::vector<std::string>{"Package: halvoren\n", "Version: " HLV_PROJECT_VERSION "\n",
                                                             "Architecture: " + arch + "\n", "Section: video\n"})
        EXPECT_NE(said.find(field), std::string::npos) << field << " in\n" << said;
    for (const char* dependency : {"fonts-liberation2", "libsdl2-2.0-0 (>=", "libc6 (>=", "libopenmpt0 (>="})
        EXPECT_NE(said.find(dependency), std::string::npos) << dependency << " in\n" << said;

    // Everything under /usr, nothing of the staging folder in a path.
    ASSERT_EQ(run("dpkg-deb -c " + quoted(deb.string()) + " | awk '{print $6}'", log, &said), 0) << said;
    std::istringstream listing(said);
    for (std::string line; std::getline(listing, line);) EXPECT_TRUE(line.rfind("./usr/", 0) == 0 || line == "./") << line;

    ASSERT_EQ(exitStatus("command -v lintian >/dev/null"), 0) << "lintian is missing";
    EXPECT_EQ(run("lintian --fail-on error " + quoted(deb.string()), log, &said), 0) << said;

    const fs::path root = fs::path(scratch.root()) / "root";
    ASSERT_EQ(run("dpkg-deb -x " + quoted(deb.string()) + " " + quoted(root.string()), log, &said), 0) << said;
    // The launcher names where the package puts things, not where cpack staged them.
    std::map<std::string, std::string> entry = readEntry(root / "usr/share/applications/halvoren.desktop");
    EXPECT_EQ(entry["Exec"], "\"/usr/bin/halvoren\"");
    EXPECT_EQ(entry["Path"], "/usr/share/halvoren");
    // Beside the programs run below: a manual page for each, more than a stub,
    // and what the show and the desktop read.
    for (const std::string program : kPrograms) {
        const fs::path page = root / "usr/share/man" / (program == "halvoren" ? "man6/halvoren.6.gz" : "man1/" + program + ".1.gz");
        EXPECT_GT(fs::exists(page) ? fs::file_size(page) : 0, 200u) << page;
    }
    for (const char* want : {"halvoren/data/hlv.txt", "icons/hicolor/128x128/apps/halvoren.png", "doc/halvoren/copyright",
                             "doc/halvoren/changelog.gz"})
        EXPECT_TRUE(fs::is_regular_file(root / "usr/share" / want)) << want << " is not packed";

    // One version text for every program, starting with the project's.
    std::string version;
    for (const char* program : kPrograms) {
        ASSERT_EQ(run(quoted((root / "usr/bin" / program).string()) + " --version", log, &said), 0) << said;
        const std::string prefix = std::string(program) + " " HLV_PROJECT_VERSION;
        EXPECT_EQ(said.rfind(prefix, 0), 0u) << said;
        if (version.empty()) version = said.substr(std::string(program).size());
        EXPECT_EQ(said.substr(std::string(program).size()), version) << program;
    }

    // The unpacked capture tool plays the unpacked content: a few small frames.
    const fs::path frames = fs::path(scratch.root()) / "frames";
    EXPECT_EQ(run(quoted((root / "usr/bin/halvoren-capture").string()) + " --dir " + quoted((root / "usr/share/halvoren").string()) +
                      " --size 64x48 --fps 10 --to 300 --frames " + quoted(frames.string()), log, &said), 0) << said;
    EXPECT_TRUE(fs::is_regular_file(frames / "frame-000002.png")) << said;
}

}  // namespace
