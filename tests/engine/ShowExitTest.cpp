// The real program, run the way a viewer runs it: from the folder that holds
// data/, on the offscreen video driver.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"

using hlvtest::TempDataFolder;

namespace {

constexpr const char* kShow = HLV_BINARY_DIR "/halvoren";
constexpr int kGiveUpSeconds = 60;   // a show that ignores its end must not stall the suite

struct Outcome {
    int         status = -1;   // exit status, -1 when killed or not run
    std::string errors;        // what it said on stderr
};

Outcome runShow(const TempDataFolder& folder) {
    const std::string command = "cd '" + folder.root() +
                                "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout " +
                                std::to_string(kGiveUpSeconds) + " '" + kShow + "' >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    if (raw != -1 && WIFEXITED(raw)) outcome.status = WEXITSTATUS(raw);
    std::ifstream err(folder.root() + "err.txt");
    std::stringstream text;
    text << err.rdbuf();
    outcome.errors = text.str();
    return outcome;
}

}  // namespace

TEST(ShowExitTest, AShortShowEndsCleanly) {
    TempDataFolder folder;
    folder.writeScript({"FXTIME Flash 0 200"});
    const Outcome outcome = runShow(folder);
    EXPECT_EQ(outcome.status, 0) << outcome.errors;
}

TEST(ShowExitTest, MissingPictureEndsTheShowWithItsName) {
    TempDataFolder folder;
    folder.writeSolidPicture("slot1.png", 8, 8, 4, 0xFFFFFF00u);
    folder.write("hlv.txt", std::string("INI_01\n"
                                        "LOADIMAGE 0 screens/missing.png\n"
                                        "LOADIMAGE 1 slot1.png\n"
                                        "FXTIME Flash 0 200\n"
                                        "END_01\n"));
    const Outcome slot = runShow(folder);
    EXPECT_NE(slot.status, 0);
    EXPECT_NE(slot.status, -1) << "the show did not end by itself";
    EXPECT_NE(slot.errors.find("\"screens/missing.png\": not found\n"), std::string::npos) << slot.errors;

    // The same for a picture an effect asks for while loading.
    TempDataFolder second;
    second.writeScript({"FXTIME Final 0 200"});
    const Outcome final = runShow(second);
    EXPECT_NE(final.status, 0);
    EXPECT_NE(final.status, -1) << "the show did not end by itself";
    EXPECT_NE(final.errors.find("\"final.png\": not found"), std::string::npos) << final.errors;
}
