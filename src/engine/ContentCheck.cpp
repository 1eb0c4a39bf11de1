#include "engine/ContentCheck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "engine/DemoTypes.h"
#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/MusicDecoder.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {

constexpr const char* kScriptName = "hlv.txt";
constexpr int kDecodeChunk = 4096;   // stereo frames per render call while timing the music

using Problems = std::vector<ContentProblem>;

// m:ss.mmm, the way a maker reads a position in the music.
std::string clockText(uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu", (unsigned long long)(ms / 60000),
                  (unsigned long long)(ms / 1000 % 60), (unsigned long long)(ms % 1000));
    return text;
}

// The picture's own error, or empty when it decodes at a size the show takes.
std::string pictureProblem(const std::string& name, DataFileService& files) {
    PixelImage image;
    try {
        decodeImage(image, name.c_str(), files);
    } catch (const FatalError& failure) {
        return failure.what();
    }
    freeBlock(image.pixels);
    return {};
}

std::string needProblem(const DataFileNeed& need, DataFileService& files) {
    if (need.rawBytes == 0) return pictureProblem(need.name, files);
    std::unique_ptr<DataFile> file = files.find(need.name.c_str());
    const std::string what = "data file \"" + need.name + "\": ";
    if (!file) return what + "not found";
    if (file->size() < need.rawBytes)
        return what + std::to_string(file->size()) + " bytes, at least " + std::to_string(need.rawBytes) + " needed";
    return {};
}

// The show's end in music time: the list runs out once the clock has passed
// every row's end, unless the clock passes kShowEndMs first.
uint32_t scheduleEnd(const Schedule& schedule, int* lastRow) {
    uint32_t end = 0;
    *lastRow = -1;
    for (int i = 0; i < schedule.scheduleCount; ++i)
        if (schedule.entries[i].end >= end) end = schedule.entries[i].end, *lastRow = i;
    return std::min(end, kShowEndMs);
}

void checkRows(const Schedule& schedule, const ScriptNotes& notes, Problems& out) {
    const std::vector<RowReach> reach = rowReach(schedule);
    for (int i = 0; i < schedule.scheduleCount; ++i) {
        const TimelineEntry& row = schedule.entries[i];
        const int line = notes.rowLines[i];
        const std::string what = std::string("FXTIME ") + row.effect->name + ": ";
        if (row.end < row.start)
            out.push_back({kScriptName, line, what + "ends at " + std::to_string(row.end) +
                                                  " ms, before it starts at " + std::to_string(row.start) + " ms"});
        if (reach[i] == RowReach::EndsBeforeFirst)
            out.push_back({kScriptName, line, what + "never drawn: the first row ends at 0 ms, so the first frame "
                                                     "already moves on"});
        if (reach[i] == RowReach::BehindShowEnd) {
            int blocker = 0;
            while (schedule.entries[blocker].end <= kShowEndMs) ++blocker;
            out.push_back({kScriptName, line,
                           what + "never drawn: it comes after line " + std::to_string(notes.rowLines[blocker]) +
                               ", which ends after the show does (" + std::to_string(kShowEndMs) +
                               " ms), and its own window opens too late to be drawn over it"});
        }
    }
}

// Every picture and data file the loading pass will read, each once, at
// the line that first asks for it.
void checkPictures(const Schedule& schedule, const ScriptNotes& notes, DataFileService& files, Problems& out) {
    std::set<std::string> seen;
    for (int slot = 0; slot < 2; ++slot) {
        const std::string name = schedule.imageSlots[slot];
        if (name.empty() || !seen.insert(name).second) continue;
        const std::string why = pictureProblem(name, files);
        if (!why.empty())
            out.push_back({kScriptName, notes.imageSlotLines[slot], "LOADIMAGE " + std::to_string(slot) + ": " + why});
    }
    for (int i = 0; i < schedule.scheduleCount; ++i) {
        const IEffect& effect = *schedule.entries[i].effect;
        for (const DataFileNeed& need : effect.dataFiles()) {
            if (!seen.insert(need.name).second) continue;
            const std::string why = needProblem(need, files);
            if (!why.empty())
                out.push_back({kScriptName, notes.rowLines[i], std::string("effect ") + effect.name + ": " + why});
        }
    }
}

// Decodes the music as far as the show plays it: a song that stops early
// would leave the show's clock with nothing to follow.
void checkMusic(const Schedule& schedule, const ScriptNotes& notes, DataFileService& files, Problems& out) {
    if (!schedule.musicName[0]) {
        if (!notes.musicLine) out.push_back({kScriptName, 0, "no MUSIC line: the show would run without sound"});
        return;
    }
    const std::string what = std::string("music \"") + schedule.musicName + "\": ";
    std::unique_ptr<DataFile> file = files.find(schedule.musicName);
    if (!file) {
        out.push_back({kScriptName, notes.musicLine, what + "not found"});
        return;
    }
    std::string whyNot;
    std::unique_ptr<MusicDecoder> decoder = openMusicDecoder(schedule.musicName, file->data(), file->size(), &whyNot);
    if (!decoder) {
        out.push_back({kScriptName, notes.musicLine, what + "not decodable (" + whyNot + ")"});
        return;
    }
    int lastRow = -1;
    const uint32_t endMs = scheduleEnd(schedule, &lastRow);
    const uint64_t needed = (uint64_t(endMs) * kMusicRate + 999) / 1000;
    std::vector<int16_t> buffer(size_t(kDecodeChunk) * 2);
    uint64_t frames = 0;
    while (frames < needed) {
        const int got = decoder->render(buffer.data(), kDecodeChunk);
        frames += uint64_t(std::max(got, 0));
        if (got < kDecodeChunk) break;
    }
    if (frames >= needed) return;
    const bool showEnds = endMs == kShowEndMs && schedule.entries[lastRow].end > kShowEndMs;
    const std::string until = showEnds ? "the show's end at " + clockText(endMs)
                                       : clockText(endMs) + ", where line " +
                                             std::to_string(notes.rowLines[lastRow]) + " ends";
    out.push_back({kScriptName, notes.musicLine, what + "lasts " + clockText(frames * 1000 / kMusicRate) +
                                                     ", but the show runs until " + until});
}

}  // namespace

std::string formatProblem(const ContentProblem& problem) {
    if (problem.file.empty()) return problem.message;
    if (problem.line > 0) return problem.file + ":" + std::to_string(problem.line) + ": " + problem.message;
    return problem.file + ": " + problem.message;
}

// The frame loop draws the current row every frame, and every later row
// whose window (start, end] holds the clock over it; the current row moves
// on once the clock reaches its end, one row per frame, and nothing is drawn
// once the clock is past kShowEndMs.  Frames may come at any music time, so
// a row stays unreachable only where no choice of frame times reaches it.
std::vector<RowReach> rowReach(const Schedule& schedule) {
    std::vector<RowReach> reach;
    uint32_t latestEnd = 0;   // ms; the clock must reach it before the row can become current
    for (int i = 0; i < schedule.scheduleCount; ++i) {
        const TimelineEntry& row = schedule.entries[i];
        RowReach verdict = RowReach::Drawn;
        if (i == 0 && row.end == 0) {
            verdict = RowReach::EndsBeforeFirst;   // and no row comes before it to be drawn over
        } else if (i > 0 && latestEnd > kShowEndMs) {
            const uint32_t lastDrawn = std::min(row.end, kShowEndMs);
            if (row.start >= lastDrawn) verdict = RowReach::BehindShowEnd;
        }
        latestEnd = std::max(latestEnd, row.end);
        reach.push_back(verdict);
    }
    return reach;
}

std::vector<ContentProblem> checkContent(const std::string& folder,
                                         const std::vector<EffectFactory>& effects) {
    Problems out;
    std::error_code ignored;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
        out.push_back({folder, 0, "no such folder"});
        return out;
    }
    DataFileService files(folder.empty() || folder.back() == '/' ? folder : folder + "/");
    files.init();
    if (!files.archiveError().empty()) {
        out.push_back({"", 0, files.archiveError()});
        return out;
    }
    std::unique_ptr<DataFile> script = files.find(kScriptName);
    if (!script) {
        out.push_back({kScriptName, 0, "not found in data/ or in " + files.archiveName()});
        return out;
    }

    // The show's own effects, constructed only: their declarations say what
    // their init would load.
    DemoContext demo;
    demo.files = &files;
    EffectRegistry registry(effects);
    registry.registerAll(demo);
    auto schedule = std::make_unique<Schedule>();
    auto notes = std::make_unique<ScriptNotes>();
    const bool parsed = parseScript(*schedule, *script, registry, *notes);
    script.reset();
    for (const ScriptNotes::Note& n : notes->problems) out.push_back({kScriptName, n.line, n.message});
    if (!parsed) return out;

    checkRows(*schedule, *notes, out);
    checkPictures(*schedule, *notes, files, out);
    checkMusic(*schedule, *notes, files, out);
    std::stable_sort(out.begin(), out.end(),
                     [](const ContentProblem& a, const ContentProblem& b) { return a.line < b.line; });
    return out;
}
