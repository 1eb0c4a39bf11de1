// The timeline script parser over arbitrary text, through the same checks the
// show makes before it opens a window.
#include <cstring>
#include <memory>

#include "FuzzSupport.h"
#include "engine/DemoTypes.h"
#include "engine/EffectRegistry.h"
#include "engine/IEffect.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static EffectRegistry* registry = [] {
        auto* r = new EffectRegistry(std::vector<EffectFactory>{});
        for (const char* name : {"Null", "Flash", "Tunnel", "KnotPQ", "604Effect"})
            r->add(std::make_unique<IEffect>(name));
        return r;
    }();
    hlvfuzz::writeScratch("data/hlv.txt", data, size);
    DataFileService files(hlvfuzz::scratchRoot(), "none.zip");

    auto schedule = std::make_unique<Schedule>();
    try {
        loadShowScript(*schedule, "hlv.txt", files, *registry);
    } catch (const FatalError&) {
    }
    // The check's parse, noting line numbers, over the same text.
    if (std::unique_ptr<DataFile> script = files.find("hlv.txt")) {
        auto noted = std::make_unique<Schedule>();
        auto notes = std::make_unique<ScriptNotes>();
        parseScript(*noted, *script, *registry, *notes);
        for (const ScriptNotes::Note& n : notes->problems)
            if (n.line < 0 || uint64_t(n.line) > uint64_t(size) + 1) __builtin_trap();
    }
    // Whatever the text, the tables stay terminated and in bounds.
    if (schedule->scheduleCount < 0 || schedule->scheduleCount >= kScheduleRows ||
        schedule->entries[schedule->scheduleCount].effect != nullptr ||
        std::memchr(schedule->musicName, 0, kNameLength) == nullptr ||
        std::memchr(schedule->imageSlots[0], 0, kNameLength) == nullptr ||
        std::memchr(schedule->imageSlots[1], 0, kNameLength) == nullptr)
        __builtin_trap();
    return 0;
}
