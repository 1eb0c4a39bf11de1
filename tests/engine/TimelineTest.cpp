#include "engine/Timeline.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EffectRegistry.h"
#include "resources/DataFile.h"
#include "support/TestSupport.h"

namespace {

using Texts = std::vector<std::string>;

class TimelineTest : public ::testing::Test {
protected:
    TimelineTest() {
        for (const char* name : {"Null", "Tunnel", "Flash"}) registry.add(std::make_unique<IEffect>(name));
    }

    bool parse(const std::string& script) {
        schedule = Schedule{};
        folder.write("hlv.txt", script);
        return loadScript(schedule, "hlv.txt", files, registry);
    }

    // Music name and both picture slots.
    Texts names() const { return {schedule.musicName, schedule.imageSlots[0], schedule.imageSlots[1]}; }

    // The filled rows as "name start end"; the row after them must end the schedule.
    Texts rows() const {
        Texts out;
        for (int i = 0; i < schedule.scheduleCount; ++i) {
            const TimelineEntry& e = schedule.entries[i];
            EXPECT_EQ(e.effect, registry.find(e.effect ? e.effect->name : "")) << "row " << i;
            out.push_back(std::string(e.effect ? e.effect->name : "?") + " " + std::to_string(e.start) + " " +
                          std::to_string(e.end));
        }
        EXPECT_EQ(schedule.entries[schedule.scheduleCount].effect, nullptr) << "no terminator";
        return out;
    }

    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
    EffectRegistry registry{std::vector<EffectFactory>{}};
    Schedule schedule;
};

TEST_F(TimelineTest, FillsTablesInScriptOrderWithTheLastMusicWinning) {
    EXPECT_TRUE(parse("INI_01\nMUSIC first.xm\nLOADIMAGE 1 b.png\nLOADIMAGE 0 a.png\nMUSIC second.ogg\n\n"
                      "FXTIME Null 0 2000\nFXTIME Tunnel 2000 30000\nFXTIME Flash 29500 30000\n"
                      "FXTIME Flash 40 50\nEND_01\n"));
    EXPECT_EQ(names(), (Texts{"second.ogg", "a.png", "b.png"}));
    EXPECT_EQ(rows(), (Texts{"Null 0 2000", "Tunnel 2000 30000", "Flash 29500 30000", "Flash 40 50"}));
}

TEST_F(TimelineTest, TabsAndCarriageReturnsReadLikeBlanks) {
    EXPECT_TRUE(parse("INI_01\r\nMUSIC\tm.ogg\r\nLOADIMAGE\t0\ta.png\r\nLOADIMAGE 1 b.png\r\n"
                      "FXTIME\tTunnel\t0\t1000\r\nFXTIME Flash 5 7\r\nEND_01\r\nFXTIME Null 0 1\r\n"));
    EXPECT_EQ(names(), (Texts{"m.ogg", "a.png", "b.png"}));
    EXPECT_EQ(rows(), (Texts{"Tunnel 0 1000", "Flash 5 7"}));
}

TEST_F(TimelineTest, AnyFirstWordContainingTheEndMarkerEndsTheScript) {
    EXPECT_TRUE(parse("INI_01\nFXTIME Null 0 10\n  XEND_01Y trailing\nMUSIC late.ogg\nFXTIME Flash 10 20\n"));
    EXPECT_EQ(names(), Texts(3, ""));
    EXPECT_EQ(rows(), (Texts{"Null 0 10"}));
}

TEST_F(TimelineTest, WithoutEndMarkerTheLastLineStillCounts) {
    EXPECT_TRUE(parse("INI_01\nFXTIME Null 0 10\nFXTIME Flash 10 20"));
    EXPECT_EQ(rows(), (Texts{"Null 0 10", "Flash 10 20"}));
}

TEST_F(TimelineTest, WithoutHeaderOrScriptNothingIsFilled) {
    const std::pair<const char*, bool> cases[] = {
        {"INI_01\nEND_01\n", true}, {"INI_01", true}, {"", false},
        {"MUSIC m.ogg\nINI_01\nFXTIME Null 0 10\nEND_01\n", false}, {"ini_01\nMUSIC m.ogg\nEND_01\n", false}};
    for (auto [script, accepted] : cases) {
        SCOPED_TRACE(script);
        EXPECT_EQ(parse(script), accepted);
        EXPECT_EQ(names(), Texts(3, ""));
        EXPECT_EQ(rows(), Texts{});
    }
    schedule = Schedule{};
    EXPECT_TRUE(loadScript(schedule, "missing.txt", files, registry));
    EXPECT_EQ(rows(), Texts{});
}

TEST_F(TimelineTest, UnknownNamesAndKeywordsAreDroppedAndBadTimesReadAsAtoi) {
    EXPECT_TRUE(parse("INI_01\nFXTIME tunnel 0 1000\nFXTIME Nope 0 1000\nfxtime Null 0 1000\n"
                      "FXTIMES Null 0 1000\nMUSICA x.ogg\nFXTIME Tunnel 0 1000\nFXTIME Null abc 12xy\n"
                      "FXTIME Flash -1 +5\nFXTIME Null 7\nEND_01\n"));
    EXPECT_EQ(names(), Texts(3, ""));
    EXPECT_EQ(rows(), (Texts{"Tunnel 0 1000", "Null 0 12", "Flash 4294967295 5", "Null 7 0"}));
}

TEST_F(TimelineTest, SlotIndexOtherThanZeroOrOneWritesNowhere) {
    EXPECT_TRUE(parse("INI_01\nMUSIC m.ogg\nLOADIMAGE -1 under.png\nLOADIMAGE 2 over.png\n"
                      "LOADIMAGE 9 far.png\nFXTIME Null 0 10\nEND_01\n"));
    EXPECT_EQ(names(), (Texts{"m.ogg", "", ""}));
    EXPECT_EQ(rows(), (Texts{"Null 0 10"}));
}

TEST_F(TimelineTest, MoreThan255RowsKeepTheTerminator) {
    std::string script = "INI_01\n";
    for (int i = 0; i < 300; ++i) script += "FXTIME Null " + std::to_string(i) + " 1\n";
    EXPECT_TRUE(parse(script + "END_01\n"));
    const Texts got = rows();
    ASSERT_EQ(got.size(), size_t(kScheduleRows - 1));
    EXPECT_EQ(got.back(), "Null 254 1");
}

TEST_F(TimelineTest, ScheduleWordsOfMoreThan31CharactersDropTheLine) {
    const std::string time31 = std::string(27, '0') + "1000", time32 = "0" + time31;
    EXPECT_TRUE(parse("INI_01\nFXTIME Null 5 " + time31 + "\nFXTIME Null 6 " + time32 + "\nFXTIME Null " +
                      time32 + " 7\nFXTIME " + std::string(40, 'N') + " 1 2\nFXTIME Flash 8 9\nEND_01\n"));
    EXPECT_EQ(rows(), (Texts{"Null 5 1000", "Flash 8 9"}));
}

}  // namespace
