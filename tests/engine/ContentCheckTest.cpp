// The content check: what it says about broken folders, and that its idea of
// the files each effect reads matches what the show really does (the
// program's --check is in ShowExitTest).
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "TestSupport.h"
#include "engine/ContentCheck.h"
#include "effects/ShowEffects.h"
#include "engine/EffectRegistry.h"
#include "resources/DataFile.h"

using hlvtest::TempDataFolder;

namespace {

using Lines = std::vector<std::string>;

Lines checked(const std::string& folder) {
    Lines lines;
    for (const ContentProblem& p : checkContent(folder, showEffects())) lines.push_back(formatProblem(p));
    return lines;
}

// Whether text is head*tail, where the '*' stands for any run of characters;
// a pattern without one is a prefix.
bool matches(const std::string& text, const std::string& pattern) {
    const size_t star = pattern.find('*');
    const std::string head = pattern.substr(0, star), tail = star == std::string::npos ? "" : pattern.substr(star + 1);
    return text.rfind(head, 0) == 0 && text.size() >= head.size() + tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void writeSong(const TempDataFolder& f, int rows = 64, int speed = 31) { f.write("song.mod", hlvtest::makeTinyMod(rows, speed)); }

void writeVelmor(const TempDataFolder& f, size_t mapBytes) {
    f.writeSolidPicture("velm/textura.png", 8, 8, 3, 0x806040FFu);
    f.writeSolidPicture("velm/brillo.png", 8, 8, 3, 0xFFFFFFFFu);
    f.write("velm/canon.raw", std::string(mapBytes, '\x20'));
}

// Every problem is named with the script line it comes from and nothing else
// is said.
TEST(ContentCheck, BrokenFoldersGetOneLinePerProblem) {
    const struct {
        const char* what;
        std::function<void(const TempDataFolder&)> make;
        Lines said;   // each matching the line said, in order
    } cases[] = {
        {"script",
         [](const TempDataFolder& f) {
             f.writeScript({});
             f.write("hlv.txt", std::string("INI_01\nLOADIMAGE 0 slot0.png\nLOADIMAGE 1 slot1.png\n"
                                            "LOADIMAGE 2 slot2.png\nFXTIME Flash 0 0\nFXTIME flash 0 100\n"
                                            "# a comment\nFXTIME Null 0 200000\nFXTIME Flash 900 800\n"
                                            "FXTIMES Null 0 5\nFXTIME Flash 1 2.5"));
         },
         {"hlv.txt: no MUSIC line",
          "hlv.txt:4: LOADIMAGE slot 2 is out of range",
          "hlv.txt:5: FXTIME Flash: never drawn: the first row ends at 0 ms",
          "hlv.txt:6: unknown effect \"flash\" (names are case-sensitive: \"Flash\"); the row is dropped",
          "hlv.txt:9: FXTIME Flash: ends at 800 ms, before it starts at 900 ms",
          "hlv.txt:9: FXTIME Flash: never drawn: it comes after line 8, which ends after the show does",
          "hlv.txt:10: unknown keyword \"FXTIMES\"",
          "hlv.txt:11: FXTIME Flash: end \"2.5\" is not a whole number of milliseconds",
          "hlv.txt:11: no END_01"}},
        {"pictures and the height map",
         [](const TempDataFolder& f) {
             f.writeScript({"FXTIME Final 0 1000", "FXTIME VelmorFX 0 1000"}, "song.mod");
             f.writeSolidPicture("slot1.png", 8193, 1, 3, 0);
             writeSong(f);
             writeVelmor(f, 512 * 512 - 1);
         },
         {"hlv.txt:4: LOADIMAGE 1: picture \"slot1.png\": too large (8193 x 1 pixels",
          "hlv.txt:5: effect Final: picture \"final.png\": not found",
          "hlv.txt:6: effect VelmorFX: data file \"velm/canon.raw\": 262143 bytes, at least 262144 needed"}},
        {"music shorter than the schedule, and a height map longer than it needs",
         [](const TempDataFolder& f) {
             f.writeScript({"FXTIME VelmorFX 0 1000", "FXTIME Flash 500 5000"}, "song.mod");
             writeSong(f, 4, 6);   // 4 rows of 6 ticks at 125 BPM and a ring: about 0.5 s
             writeVelmor(f, 512 * 600);
         },
         {"hlv.txt:2: music \"song.mod\": lasts 0:00.*, but the show runs until 0:05.000, where line 6 ends"}},
        {"music not decodable",
         [](const TempDataFolder& f) { f.writeScript({"FXTIME Flash 0 5000"}, "song.ogg"), f.write("song.ogg", std::string("OggS only")); },
         {"hlv.txt:2: music \"song.ogg\": not decodable (*)"}},
        {"no script", [](const TempDataFolder& f) { f.write("other.txt", std::string("INI_01\n")); },
         {"hlv.txt: not found in data/ or in data.dat"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDataFolder folder;
        c.make(folder);
        const Lines said = checked(folder.root());
        ASSERT_EQ(said.size(), c.said.size()) << ::testing::PrintToString(said);
        for (size_t i = 0; i < said.size(); ++i) EXPECT_TRUE(matches(said[i], c.said[i])) << said[i];
    }
}

// An effect's init runs with exactly the files it declares, and fails naming
// each one that is missing: the declarations are what the loading pass reads.
TEST(ContentCheck, EveryEffectReadsExactlyTheFilesItDeclares) {
    hlvtest::HeadlessGl gl{16, 16};
    HLV_REQUIRE_GL(gl);
    DemoContext demo;
    EffectRegistry registry(showEffects());
    registry.registerAll(demo);
    for (size_t e = 0; e < registry.size(); ++e) {
        IEffect& effect = *registry.at(e);
        const DataFileNeeds needs = effect.dataFiles();
        for (size_t left = 0; left <= needs.size(); ++left) {   // needs.size(): none left out
            SCOPED_TRACE(std::string(effect.name) + (left < needs.size() ? " without " + needs[left].name : ""));
            TempDataFolder folder;
            for (size_t i = 0; i < needs.size(); ++i) {
                if (i == left) continue;
                if (needs[i].rawBytes) folder.write(needs[i].name, std::string(needs[i].rawBytes, '\0'));
                else folder.writeSolidPicture(needs[i].name, 4, 4, 3, 0x808080FFu);
            }
            DataFileService files(folder.root());
            demo.files = &files;
            try {
                effect.init();
                EXPECT_EQ(left, needs.size()) << "init did not need it";
            } catch (const FatalError& failure) {
                ASSERT_LT(left, needs.size()) << "init read an undeclared file: " << failure.what();
                EXPECT_NE(std::string(failure.what()).find(needs[left].name), std::string::npos);
            }
            effect.release();
        }
    }
}

}  // namespace
