// cmake --install into a throw-away prefix: the programs, the content the
// show reads, and a launcher that desktop-file-validate accepts and that
// names what was installed.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "Icon.h"
#include "TestSupport.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) { return WEXITSTATUS(std::system(command.c_str())); }

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
    ASSERT_EQ(run("cmake --install " HLV_BINARY_DIR " --prefix " + quoted(prefix.string()) + " >" +
                  quoted(scratch.root() + "install.txt") + " 2>&1"), 0)
        << std::ifstream(scratch.root() + "install.txt").rdbuf();
    for (const char* program : {"halvoren", "halvoren-content", "halvoren-capture"}) {
        const fs::path p = prefix / "bin" / program;
        EXPECT_TRUE(fs::is_regular_file(p) && (fs::status(p).permissions() & fs::perms::owner_exec) != fs::perms::none) << p;
    }

    const fs::path launcher = prefix / "share/applications/halvoren.desktop";
    ASSERT_EQ(run("command -v desktop-file-validate >/dev/null"), 0) << "desktop-file-validate is missing";
    EXPECT_EQ(run("desktop-file-validate " + quoted(launcher.string())), 0);
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

}  // namespace
