#include "engine/Timeline.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/DemoTypes.h"
#include "engine/EffectRegistry.h"
#include "resources/DataFile.h"

namespace {

constexpr int kLineLength = 256;   // line buffer; readLine may add one byte past it
constexpr int kWordLength = 32;    // FXTIME words (name and both times), with the NUL

// Columns of the arguments, fixed by the keywords' lengths plus one blank.
constexpr int kMusicColumn = 6;        // "MUSIC "
constexpr int kFxTimeColumn = 7;       // "FXTIME "
constexpr int kSlotIndexColumn = 10;   // "LOADIMAGE "
constexpr int kSlotNameColumn = 12;    // "LOADIMAGE 0 "

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whitespace-delimited word scan.  Returns the position just past the word,
// or null when the word does not fit in cap bytes (nothing useful is stored then).
const char* scanWord(const char* from, char* out, int cap) {
    while (*from && isBlank(*from)) ++from;
    int n = 0;
    while (from[n] && !isBlank(from[n])) {
        if (n == cap - 1) return nullptr;
        out[n] = from[n];
        ++n;
    }
    out[n] = '\0';
    return from + n;
}

// C atoi, but saturating instead of overflowing into undefined behaviour.
int readInt(const char* s) {
    while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') negative = (*s++ == '-');
    long long v = 0;
    for (; *s >= '0' && *s <= '9'; ++s) {
        v = v * 10 + (*s - '0');
        if (v > INT_MAX) v = (long long)INT_MAX + 1;   // enough to saturate both ends
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

void parseFxTime(Schedule& schedule, const char* line, const EffectRegistry& registry) {
    char name[kWordLength] = {}, startWord[kWordLength] = {}, endWord[kWordLength] = {};
    const char* p = scanWord(line + kFxTimeColumn, name, kWordLength);
    if (p) p = scanWord(p, startWord, kWordLength);
    if (p) p = scanWord(p, endWord, kWordLength);
    if (!p) return;                                               // over-long word
    if (schedule.scheduleCount >= kScheduleRows - 1) return;      // keep the terminator
    IEffect* effect = registry.find(name);
    if (!effect) return;
    TimelineEntry& row = schedule.entries[schedule.scheduleCount++];
    row.effect = effect;
    row.start = uint32_t(readInt(startWord));
    row.end = uint32_t(readInt(endWord));
}

constexpr size_t kQuotedWord = 32;   // characters of a wrong header shown in the message

// A word fit for one line of a message: a binary file's bytes come out as
// '?', a long word cut short.
std::string printable(const char* word) {
    std::string shown;
    for (const char* c = word; *c && shown.size() < kQuotedWord; ++c)
        shown += (*c >= ' ' && *c <= '~') ? *c : '?';
    return word[shown.size()] ? shown + "..." : shown;
}

[[noreturn]] void scriptFails(const char* scriptName, const std::string& why) {
    throw FatalError(std::string("script \"") + scriptName + "\": " + why);
}

// The parse proper, from the start of the script's bytes.  False when the
// first word is not the header (then nothing is filled, and that word goes
// to *header when asked for).
bool parseScript(Schedule& schedule, DataFile& script, const EffectRegistry& registry,
                 std::string* header = nullptr) {
    char line[kLineLength + 1] = {};
    char word[kLineLength] = {};
    script.readLine(line, kLineLength);
    scanWord(line, word, kLineLength);
    if (std::strcmp(word, "INI_01") != 0) {
        if (header) *header = printable(word);
        return false;
    }

    while (!std::strstr(word, "END_01")) {
        if (script.cursor() >= script.size()) break;   // no end marker: stop at the data's end
        std::memset(line, 0, sizeof line);
        std::memset(word, 0, sizeof word);
        script.readLine(line, kLineLength);
        scanWord(line, word, kLineLength);

        if (std::strcmp(word, "MUSIC") == 0) {
            scanWord(line + kMusicColumn, schedule.musicName, kNameLength);
        } else if (std::strcmp(word, "LOADIMAGE") == 0) {
            int slot = readInt(line + kSlotIndexColumn);
            if (slot == 0 || slot == 1)
                scanWord(line + kSlotNameColumn, schedule.imageSlots[slot], kNameLength);
        } else if (std::strcmp(word, "FXTIME") == 0) {
            parseFxTime(schedule, line, registry);
        }
    }
    return true;
}

}  // namespace

void loadShowScript(Schedule& schedule, const char* scriptName, DataFileService& files,
                    const EffectRegistry& registry) {
    std::unique_ptr<DataFile> script = files.find(scriptName);
    if (!script) {
        const std::filesystem::path root = std::filesystem::absolute(files.root().empty() ? "." : files.root());
        throw FatalError(std::string("no \"") + scriptName + "\" in " + (root / "data/").lexically_normal().string() +
                         " or in " + (root / files.archiveName()).lexically_normal().string() +
                         "; start the show from the folder that holds data/");
    }
    std::string header;
    if (!parseScript(schedule, *script, registry, &header))
        scriptFails(scriptName, header.empty() ? "does not start with INI_01 (its first line is empty)"
                                               : "does not start with INI_01 (it starts with \"" + header + "\")");
    if (schedule.scheduleCount == 0)
        scriptFails(scriptName, "no FXTIME row names a registered effect, so there is no show to run");
    for (int slot = 0; slot < 2; ++slot)
        if (schedule.imageSlots[slot][0] == '\0')
            scriptFails(scriptName, "loading-screen picture " + std::to_string(slot) + " is not named (LOADIMAGE " +
                                        std::to_string(slot) + ")");
}

bool loadScript(Schedule& schedule, const char* scriptName, DataFileService& files,
                const EffectRegistry& registry) {
    std::unique_ptr<DataFile> script = files.find(scriptName);
    return !script || parseScript(schedule, *script, registry);
}
