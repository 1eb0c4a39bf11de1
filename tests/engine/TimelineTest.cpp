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

TEST(Timeline, ScriptsFillTheTables) {
    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
    EffectRegistry registry{std::vector<EffectFactory>{}};
    for (const char* name : {"Null", "Tunnel", "Flash"}) registry.add(std::make_unique<IEffect>(name));
    const std::string time31 = std::string(27, '0') + "1000", time32 = "0" + time31;
    const Texts none(3, "");
    std::string many = "INI_01\n";   // more rows than fit: the table keeps its terminator
    Texts kept;
    for (int i = 0; i < 300; ++i) {
        many += "FXTIME Null " + std::to_string(i) + " 1\n";
        if (i < kScheduleRows - 1) kept.push_back("Null " + std::to_string(i) + " 1");
    }
    const struct {
        std::string script;
        Texts names, rows;   // music and both picture slots; the rows as "name start end"
    } cases[] = {
        // Script order, the last music winning.
        {"INI_01\nMUSIC first.xm\nLOADIMAGE 1 b.png\nLOADIMAGE 0 a.png\nMUSIC second.ogg\n\nFXTIME Null 0 2000\n"
         "FXTIME Tunnel 2000 30000\nFXTIME Flash 29500 30000\nFXTIME Flash 40 50\nEND_01\n",
         {"second.ogg", "a.png", "b.png"},
         {"Null 0 2000", "Tunnel 2000 30000", "Flash 29500 30000", "Flash 40 50"}},
        // Tabs and carriage returns read like blanks.
        {"INI_01\r\nMUSIC\tm.ogg\r\nLOADIMAGE\t0\ta.png\r\nLOADIMAGE 1 b.png\r\nFXTIME\tTunnel\t0\t1000\r\n"
         "FXTIME Flash 5 7\r\nEND_01\r\nFXTIME Null 0 1\r\n",
         {"m.ogg", "a.png", "b.png"}, {"Tunnel 0 1000", "Flash 5 7"}},
        // Unknown names and keywords are dropped.
        {"INI_01\nFXTIME tunnel 0 1000\nFXTIME Nope 0 1000\nfxtime Null 0 1000\nFXTIMES Null 0 1000\n"
         "MUSICA x.ogg\nFXTIME Tunnel 0 1000\nEND_01\n", none, {"Tunnel 0 1000"}},
        // A slot other than 0 or 1 is written nowhere.
        {"INI_01\nMUSIC m.ogg\nLOADIMAGE -1 under.png\nLOADIMAGE 2 over.png\nLOADIMAGE 9 far.png\n"
         "FXTIME Null 0 10\nEND_01\n",
         {"m.ogg", "", ""}, {"Null 0 10"}},
        // A schedule word of more than 31 characters drops its line.
        {"INI_01\nFXTIME Null 5 " + time31 + "\nFXTIME Null 6 " + time32 + "\nFXTIME Null " + time32 +
             " 7\nFXTIME " + std::string(40, 'N') + " 1 2\nFXTIME Flash 8 9\nEND_01\n",
         none, {"Null 5 1000", "Flash 8 9"}},
        {many, none, kept},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script.substr(0, 200));
        Schedule schedule;
        folder.write("hlv.txt", c.script);
        EXPECT_TRUE(loadScript(schedule, "hlv.txt", files, registry));
        EXPECT_EQ((Texts{schedule.musicName, schedule.imageSlots[0], schedule.imageSlots[1]}), c.names);
        Texts rows;
        for (const TimelineEntry* e = schedule.entries; e < schedule.entries + schedule.scheduleCount; ++e)
            rows.push_back(std::string(e->effect ? e->effect->name : "?") + " " + std::to_string(e->start) + " " +
                           std::to_string(e->end));
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(schedule.entries[schedule.scheduleCount].effect, nullptr) << "no terminator";
    }
}

}  // namespace
