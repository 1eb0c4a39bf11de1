#include "engine/Timeline.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EffectRegistry.h"
#include "resources/DataFile.h"
#include "support/TestSupport.h"

namespace {

struct NamedEffect : IEffect {
    explicit NamedEffect(const char* name) : IEffect(name) {}
};

class TimelineTest : public ::testing::Test {
protected:
    TimelineTest() {
        for (const char* name : {"Null", "Tunnel", "Flash"})
            registry.add(std::make_unique<NamedEffect>(name));
        files.init();
    }

    bool parse(const std::string& script) {
        folder.write("hlv.txt", script);
        return loadScript(schedule, "hlv.txt", files, registry);
    }

    void expectRow(int row, const char* effect, uint32_t start, uint32_t end) {
        SCOPED_TRACE("row " + std::to_string(row));
        ASSERT_LT(row, schedule.scheduleCount);
        EXPECT_EQ(schedule.entries[row].effect, registry.find(effect));
        EXPECT_EQ(schedule.entries[row].start, start);
        EXPECT_EQ(schedule.entries[row].end, end);
    }

    void expectNothingFilled() {
        EXPECT_EQ(schedule.scheduleCount, 0);
        EXPECT_EQ(schedule.entries[0].effect, nullptr);
        EXPECT_STREQ(schedule.musicName, "");
        EXPECT_STREQ(schedule.imageSlots[0], "");
        EXPECT_STREQ(schedule.imageSlots[1], "");
    }

    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
    EffectRegistry registry{std::vector<EffectFactory>{}};
    Schedule schedule;
};

// --- well-formed scripts ------------------------------------------------------

TEST_F(TimelineTest, HeaderAndEndAloneGiveEmptyTables) {
    EXPECT_TRUE(parse("INI_01\nEND_01\n"));
    expectNothingFilled();
}

TEST_F(TimelineTest, FillsTablesInScriptOrderWithTheLastMusicWinning) {
    EXPECT_TRUE(parse("INI_01\n"
                      "MUSIC first.xm\n"
                      "LOADIMAGE 1 b.png\n"
                      "LOADIMAGE 0 a.png\n"
                      "MUSIC second.ogg\n"
                      "\n"
                      "FXTIME Null 0 2000\n"
                      "FXTIME Tunnel 2000 30000\n"
                      "FXTIME Flash 29500 30000\n"
                      "END_01\n"));
    EXPECT_STREQ(schedule.musicName, "second.ogg");
    EXPECT_STREQ(schedule.imageSlots[0], "a.png");
    EXPECT_STREQ(schedule.imageSlots[1], "b.png");
    ASSERT_EQ(schedule.scheduleCount, 3);
    expectRow(0, "Null", 0, 2000);
    expectRow(1, "Tunnel", 2000, 30000);
    expectRow(2, "Flash", 29500, 30000);
    EXPECT_EQ(schedule.entries[3].effect, nullptr);
}

TEST_F(TimelineTest, TabsAndCarriageReturnsReadLikeBlanks) {
    EXPECT_TRUE(parse("INI_01\r\n"
                      "MUSIC\tm.ogg\r\n"
                      "LOADIMAGE\t0\ta.png\r\n"
                      "LOADIMAGE 1 b.png\r\n"
                      "FXTIME\tTunnel\t0\t1000\r\n"
                      "FXTIME Flash 5 7\r\n"
                      "END_01\r\n"
                      "FXTIME Null 0 1\r\n"));
    EXPECT_STREQ(schedule.musicName, "m.ogg");
    EXPECT_STREQ(schedule.imageSlots[0], "a.png");
    EXPECT_STREQ(schedule.imageSlots[1], "b.png");
    ASSERT_EQ(schedule.scheduleCount, 2);
    expectRow(0, "Tunnel", 0, 1000);
    expectRow(1, "Flash", 5, 7);
}

TEST_F(TimelineTest, SameEffectOnSeveralLinesGivesRowsSharingOneObject) {
    EXPECT_TRUE(parse("INI_01\nFXTIME Flash 0 10\nFXTIME Flash 20 30\nFXTIME Flash 40 50\nEND_01\n"));
    ASSERT_EQ(schedule.scheduleCount, 3);
    expectRow(0, "Flash", 0, 10);
    expectRow(1, "Flash", 20, 30);
    expectRow(2, "Flash", 40, 50);
}

// --- where the script ends ----------------------------------------------------

TEST_F(TimelineTest, AnyFirstWordContainingTheEndMarkerEndsTheScript) {
    EXPECT_TRUE(parse("INI_01\nFXTIME Null 0 10\n  XEND_01Y trailing\nMUSIC late.ogg\nFXTIME Flash 10 20\n"));
    EXPECT_STREQ(schedule.musicName, "");
    ASSERT_EQ(schedule.scheduleCount, 1);
    expectRow(0, "Null", 0, 10);
}

TEST_F(TimelineTest, WithoutEndMarkerTheParseStopsAtTheDataEnd) {
    // The last line also lacks its newline and must still count.
    EXPECT_TRUE(parse("INI_01\nFXTIME Null 0 10\nFXTIME Flash 10 20"));
    ASSERT_EQ(schedule.scheduleCount, 2);
    expectRow(1, "Flash", 10, 20);

    Schedule other;
    folder.write("short.txt", "INI_01");
    EXPECT_TRUE(loadScript(other, "short.txt", files, registry));
    EXPECT_EQ(other.scheduleCount, 0);
}

TEST_F(TimelineTest, WithoutHeaderOrScriptNothingIsFilled) {
    EXPECT_FALSE(parse("MUSIC m.ogg\nINI_01\nFXTIME Null 0 10\nEND_01\n"));
    expectNothingFilled();
    EXPECT_FALSE(parse("ini_01\nMUSIC m.ogg\nEND_01\n"));
    expectNothingFilled();
    EXPECT_FALSE(parse(""));
    expectNothingFilled();

    EXPECT_TRUE(loadScript(schedule, "missing.txt", files, registry));
    expectNothingFilled();
}

// --- lines that can't be used -------------------------------------------------

TEST_F(TimelineTest, UnknownNamesAndKeywordsAreDroppedAndBadTimesReadAsAtoi) {
    EXPECT_TRUE(parse("INI_01\n"
                      "FXTIME tunnel 0 1000\n"     // wrong case
                      "FXTIME Nope 0 1000\n"
                      "fxtime Null 0 1000\n"
                      "FXTIMES Null 0 1000\n"
                      "MUSICA x.ogg\n"
                      "FXTIME Tunnel 0 1000\n"
                      "FXTIME Null abc 12xy\n"
                      "FXTIME Flash -1 +5\n"
                      "FXTIME Null 7\n"
                      "END_01\n"));
    EXPECT_STREQ(schedule.musicName, "");
    ASSERT_EQ(schedule.scheduleCount, 4);
    expectRow(0, "Tunnel", 0, 1000);
    expectRow(1, "Null", 0, 12);
    expectRow(2, "Flash", 0xffffffffu, 5);
    expectRow(3, "Null", 7, 0);
}

TEST_F(TimelineTest, SlotIndexOtherThanZeroOrOneWritesNowhere) {
    EXPECT_TRUE(parse("INI_01\n"
                      "MUSIC m.ogg\n"
                      "LOADIMAGE -1 under.png\n"
                      "LOADIMAGE 2 over.png\n"
                      "LOADIMAGE 9 far.png\n"
                      "FXTIME Null 0 10\n"
                      "END_01\n"));
    EXPECT_STREQ(schedule.musicName, "m.ogg");
    EXPECT_STREQ(schedule.imageSlots[0], "");
    EXPECT_STREQ(schedule.imageSlots[1], "");
    ASSERT_EQ(schedule.scheduleCount, 1);
    expectRow(0, "Null", 0, 10);
}

TEST_F(TimelineTest, MoreThan255RowsKeepTheTerminator) {
    std::string script = "INI_01\n";
    for (int i = 0; i < 300; ++i)
        script += "FXTIME Null " + std::to_string(i) + " " + std::to_string(i + 1) + "\n";
    script += "END_01\n";
    EXPECT_TRUE(parse(script));
    ASSERT_EQ(schedule.scheduleCount, kScheduleRows - 1);
    expectRow(254, "Null", 254, 255);
    EXPECT_EQ(schedule.entries[kScheduleRows - 1].effect, nullptr);
}

TEST_F(TimelineTest, ScheduleWordsOfMoreThan31CharactersDropTheLine) {
    const std::string time31 = std::string(27, '0') + "1000";   // fits a 32-byte word
    const std::string time32 = "0" + time31;
    const std::string name40(40, 'N');
    EXPECT_TRUE(parse("INI_01\n"
                      "FXTIME Null 5 " + time31 + "\n"
                      "FXTIME Null 6 " + time32 + "\n"
                      "FXTIME Null " + time32 + " 7\n"
                      "FXTIME " + name40 + " 1 2\n"
                      "FXTIME Flash 8 9\n"
                      "END_01\n"));
    ASSERT_EQ(schedule.scheduleCount, 2);
    expectRow(0, "Null", 5, 1000);
    expectRow(1, "Flash", 8, 9);
}

}  // namespace
