// The real program, run the way a viewer runs it: from the folder that holds
// data/, on the offscreen video driver.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

using hlvtest::TempDataFolder;

namespace {

constexpr int kTimedOut = 124;   // timeout's status: a show that ignores its end must not stall the suite

struct Outcome {
    int         status = -1;   // exit status, -1 when it did not exit
    std::string errors;        // stderr
};

Outcome runShow(const TempDataFolder& folder) {
    const std::string command = "cd '" + folder.root() +
                                "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "
                                "timeout 60 '" HLV_BINARY_DIR "/halvoren' >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    std::stringstream errors;
    errors << std::ifstream(folder.root() + "err.txt").rdbuf();
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, errors.str()};
}

TEST(ShowExitTest, AShortShowEndsCleanly) {
    TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 200"});
    const Outcome outcome = runShow(folder);
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
}

// A missing loading-screen picture, and one an effect asks for while loading.
TEST(ShowExitTest, MissingPictureEndsTheShowWithItsName) {
    TempDataFolder slot, effect;
    slot.writeSolidPicture("slot1.png", 8, 8, 4, 0xFFFFFF00u);
    slot.write("hlv.txt", std::string("INI_01\nLOADIMAGE 0 screens/missing.png\nLOADIMAGE 1 slot1.png\n"
                                      "FXTIME Flash 0 200\nEND_01\n"));
    effect.writeScript({"FXTIME Final 0 200"});
    for (auto [folder, message] : {std::pair{&slot, "\"screens/missing.png\": not found\n"},
                                   std::pair{&effect, "\"final.png\": not found\n"}}) {
        const Outcome outcome = runShow(*folder);
        EXPECT_NE(outcome.status, 0);
        EXPECT_NE(outcome.status, kTimedOut) << "the show did not end by itself";
        EXPECT_NE(outcome.errors.find(message), std::string::npos) << outcome.errors;
    }
}

// Content the show cannot run from: one line naming the file and the
// problem, a failed status, and no window (the offscreen driver makes none
// visible, so the lone stderr line stands for it: a window would have gone
// on to the pictures and the effects).
TEST(ShowExitTest, UnusableScriptIsRefusedWithOneLine) {
    TempDataFolder noData, noScript, lowerHeader, emptyScript, pictureScript, noRows;
    std::filesystem::remove_all(noData.root() + "data");
    noScript.write("other.txt", std::string("INI_01\n"));
    lowerHeader.writeScript({"FXTIME Flash 0 200"});
    lowerHeader.write("hlv.txt", std::string("ini_01\nFXTIME Flash 0 200\nEND_01\n"));
    emptyScript.write("hlv.txt", std::string());
    pictureScript.write("hlv.txt", "\x89PNG" + std::string(40, 'x') + "\r\n\x1a\nINI_01\n");
    noRows.writeScript({"FXTIME flash 0 200", "FXTIME Tunel 0 200", "FXTIMES Flash 0 200"});

    const auto whereLooked = [](const TempDataFolder& folder) {
        const std::string root = std::filesystem::canonical(folder.root()).string();
        return "halvoren: no \"hlv.txt\" in " + root + "/data/ or in " + root +
               "/data.dat; start the show from the folder that holds data/\n";
    };
    const std::pair<const TempDataFolder*, std::string> cases[] = {
        {&noData, whereLooked(noData)},
        {&noScript, whereLooked(noScript)},
        {&lowerHeader, "halvoren: script \"hlv.txt\": does not start with INI_01 (it starts with \"ini_01\")\n"},
        {&emptyScript, "halvoren: script \"hlv.txt\": does not start with INI_01 (its first line is empty)\n"},
        {&pictureScript, "halvoren: script \"hlv.txt\": does not start with INI_01 (it starts with \"?PNG" +
                             std::string(28, 'x') + "...\")\n"},
        {&noRows, "halvoren: script \"hlv.txt\": no FXTIME row names a registered effect, so there is no show "
                  "to run\n"}};
    for (const auto& [folder, message] : cases) {
        const Outcome outcome = runShow(*folder);
        EXPECT_EQ(outcome.status, 1) << message;
        EXPECT_EQ(outcome.errors, message);
    }
}

}  // namespace
