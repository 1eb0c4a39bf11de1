// The real program, run from the folder that holds data/ on the offscreen driver: its
// exit statuses, its one line about content it cannot run from and what --check prints
// are what scripts rely on.
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

struct Outcome {
    int         status = -1;   // exit status, -1 when it did not exit (124: timeout stopped a hung show)
    std::string out, errors;   // stdout, stderr
};

Outcome runShow(const TempDataFolder& folder, const std::string& args) {
    const std::string command = "cd '" + folder.root() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "
                                "timeout 60 '" HLV_BINARY_DIR "/halvoren' " + args + " >out.txt 2>err.txt";
    const int raw = std::system(command.c_str());
    std::stringstream out, errors;
    out << std::ifstream(folder.root() + "out.txt").rdbuf(), errors << std::ifstream(folder.root() + "err.txt").rdbuf();
    return {raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out.str(), errors.str()};
}

// Content the show cannot run from gets one line naming the file and the problem and
// status 1; before the window opens that line is all there is (offscreen shows no window).
// --check lists the problems of the folder named, or of the current one, on stdout and
// answers 1 when there are any; the default content has none.
TEST(ShowExit, StatusAndWordsForEveryWayTheProgramEnds) {
    TempDataFolder good, noData, noScript, lowerHeader, emptyScript, pictureScript, noRows, badArchive, badPicture,
        noPicture, defaults;
    ASSERT_EQ(std::system(("'" HLV_BINARY_DIR "/tools/content/halvoren-content' --out '" + defaults.root() + "'").c_str()), 0);
    for (TempDataFolder* f : {&good, &lowerHeader, &badArchive, &badPicture}) f->writeScript({"FXTIME Flash 0 200"});
    std::filesystem::remove_all(noData.root() + "data");
    noScript.write("other.txt", std::string("INI_01\n"));
    lowerHeader.write("hlv.txt", std::string("ini_01\nFXTIME Flash 0 200\nEND_01\n"));
    emptyScript.write("hlv.txt", std::string());
    pictureScript.write("hlv.txt", "\x89PNG" + std::string(40, 'x') + "\r\n\x1a\nINI_01\n");
    noRows.writeScript({"FXTIME flash 0 200", "FXTIME Tunel 0 200", "FXTIMES Flash 0 200"});
    badArchive.writeRoot("data.dat", {'n', 'o', 't', ' ', 'R', 'A', 'R'});
    badPicture.write("slot1.png", std::string("not a picture"));
    noPicture.writeScript({"FXTIME Final 0 200"});   // the effect asks for its picture while loading

    const auto whereLooked = [](const TempDataFolder& folder) {
        const std::string root = std::filesystem::canonical(folder.root()).string();
        return "halvoren: no \"hlv.txt\" in " + root + "/data/ or in " + root +
               "/data.dat; start the show from the folder that holds data/\n";
    };
    const std::string script = "halvoren: script \"hlv.txt\": ";
    struct Case {
        const TempDataFolder* folder;
        std::string args;
        int status;
        std::string said;   // looked for in stderr (stdout for --check and success); alone: all that was said
        bool alone;
    } const cases[] = {
        {&good, "", 0, "", false},
        {&good, "--window --size 320x200 --samples 2", 0, "", false},
        {&good, "--fullscreen", 0, "", false},
        {&good, "--help", 0, "Usage: halvoren", false},
        {&good, "--version", 0, "halvoren ", false},
        {&good, "--size 640", 2, "Usage: halvoren", false},
        {&good, "--from 168501", 2, "halvoren: --from 168501: the show ends at 168500 ms\n", true},
        {&good, "--from 5000", 2, "halvoren: --from 5000: the script's schedule has ended by then\n", false},
        {&noData, "", 1, whereLooked(noData), true},
        {&noScript, "", 1, whereLooked(noScript), true},
        {&lowerHeader, "", 1, script + "does not start with INI_01 (it starts with \"ini_01\")\n", true},
        {&emptyScript, "", 1, script + "does not start with INI_01 (its first line is empty)\n", true},
        {&pictureScript, "", 1,
         script + "does not start with INI_01 (it starts with \"?PNG" + std::string(28, 'x') + "...\")\n", true},
        {&noRows, "", 1, script + "no FXTIME row names a registered effect, so there is no show to run\n", true},
        {&badArchive, "", 1, "halvoren: data.dat: not a RAR archive (no marker)\n", true},
        {&badPicture, "", 1, "halvoren: picture \"slot1.png\": not decodable (not a PNG file)\n", false},
        {&noPicture, "", 1, "halvoren: picture \"final.png\": not found\n", false},
        {&defaults, "--check", 0, "", true},
        {&good, "--check /no/such/folder", 1, "/no/such/folder: no such folder\n", true},
        {&defaults, "--check '" + noPicture.root() + "'", 1,
         "hlv.txt: no MUSIC line: the show would run without sound\n"
         "hlv.txt:4: effect Final: picture \"final.png\": not found\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args + (" " + c.said));
        const Outcome o = runShow(*c.folder, c.args);
        EXPECT_EQ(o.status, c.status) << o.errors;
        const std::string& said = c.status == 0 || c.args.rfind("--check", 0) == 0 ? o.out : o.errors;
        if (c.alone) EXPECT_EQ(said, c.said);
        else EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
}

}  // namespace
