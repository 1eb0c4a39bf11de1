// cmake --install into a throw-away prefix: the programs, the content the
// show reads, and a launcher that desktop-file-validate accepts and that
// names what was installed.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "Icon.h"
#include "TestSupport.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace fs = std::filesystem;

namespace {

int run(const std::string& command) {
    const int raw = std::system(command.c_str());
    return raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

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

// Exec's one quoted argument, with the launcher's escapes (\\$ and %%) undone.
std::string execPath(std::string exec) {
    if (exec.size() < 2 || exec.front() != '"' || exec.back() != '"') return exec;
    exec = exec.substr(1, exec.size() - 2);
    for (const auto& [escaped, plain] : {std::pair<std::string, std::string>{"\\\\$", "$"}, {"%%", "%"}})
        for (size_t at = 0; (at = exec.find(escaped, at)) != std::string::npos; at += plain.size())
            exec.replace(at, escaped.size(), plain);
    return exec;
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
    ASSERT_TRUE(fs::is_regular_file(launcher));
    ASSERT_EQ(run("command -v desktop-file-validate >/dev/null"), 0) << "desktop-file-validate is missing";
    EXPECT_EQ(run("desktop-file-validate " + quoted(launcher.string())), 0);
    std::map<std::string, std::string> entry = readEntry(launcher);
    EXPECT_EQ(execPath(entry["Exec"]), (prefix / "bin/halvoren").string()) << entry["Exec"];
    EXPECT_EQ(entry["Path"], (prefix / "share/halvoren").string());

    // The launcher's folder holds what the show reads first, and the icon
    // decodes through the show's own decoder.
    DataFileService files(entry["Path"] + "/");
    files.init();
    EXPECT_NE(files.find("hlv.txt"), nullptr);
    PixelImage menu, icon;
    decodeImage(menu, "menu.jpg", files);
    freeBlock(menu.pixels);
    EXPECT_EQ(fs::path(entry["Icon"]).parent_path().parent_path().filename(), "128x128");
    ASSERT_TRUE(fs::is_regular_file(entry["Icon"])) << entry["Icon"];
    fs::copy_file(entry["Icon"], scratch.root() + "data/icon.png");
    DataFileService scratchFiles(scratch.root());
    decodeImage(icon, "icon.png", scratchFiles);
    EXPECT_EQ((std::vector<int>{icon.width, icon.height, icon.bytesPerPixel}),
              (std::vector<int>{gen::kIconSize, gen::kIconSize, 4}))
        << "a 128x128 theme icon, with its rounded corners clear";
    freeBlock(icon.pixels);
}

}  // namespace
