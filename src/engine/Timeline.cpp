#include "engine/Timeline.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include <strings.h>

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

constexpr size_t kQuotedWord = 32;   // characters of a wrong header shown in the message

// A word fit for one line of a message: a binary file's bytes come out as
// '?', a long word cut short.
std::string printable(const char* word) {
    std::string shown;
    for (const char* c = word; *c && shown.size() < kQuotedWord; ++c)
        shown += (*c >= ' ' && *c <= '~') ? *c : '?';
    return word[shown.size()] ? shown + "..." : shown;
}

void note(ScriptNotes* notes, int line, const std::string& message) {
    if (notes) notes->problems.push_back({line, message});
}

// A time the parse reads as it is meant: digits only, within int.
bool plainTime(const char* word) {
    long long v = 0;
    for (const char* c = word; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        v = v * 10 + (*c - '0');
        if (v > INT_MAX) return false;
    }
    return *word != '\0';
}

std::string unknownEffect(const char* name, const EffectRegistry& registry) {
    for (std::size_t i = 0; i < registry.size(); ++i)
        if (strcasecmp(registry.at(i)->name, name) == 0)
            return "unknown effect \"" + printable(name) + "\" (names are case-sensitive: \"" + registry.at(i)->name +
                   "\"); the row is dropped";
    return "unknown effect \"" + printable(name) + "\"; the row is dropped";
}

void parseFxTime(Schedule& schedule, const char* line, const EffectRegistry& registry, ScriptNotes* notes,
                 int lineNo) {
    char name[kWordLength] = {}, startWord[kWordLength] = {}, endWord[kWordLength] = {};
    const char* p = scanWord(line + kFxTimeColumn, name, kWordLength);
    if (p) p = scanWord(p, startWord, kWordLength);
    if (p) p = scanWord(p, endWord, kWordLength);
    if (!p) {   // over-long word
        note(notes, lineNo, "FXTIME: a word longer than " + std::to_string(kWordLength - 1) +
                                " characters; the row is dropped");
        return;
    }
    if (schedule.scheduleCount >= kScheduleRows - 1) {   // keep the terminator
        note(notes, lineNo, "FXTIME: the schedule is full at " + std::to_string(kScheduleRows - 1) +
                                " rows; the row is dropped");
        return;
    }
    IEffect* effect = registry.find(name);
    if (!effect) {
        note(notes, lineNo, name[0] ? unknownEffect(name, registry) : "FXTIME names no effect; the row is dropped");
        return;
    }
    if (notes) {
        notes->rowLines[schedule.scheduleCount] = lineNo;
        for (const char* word : {startWord, endWord})
            if (!plainTime(word))
                note(notes, lineNo, std::string("FXTIME ") + name + ": " + (word == startWord ? "start" : "end") +
                                        (word[0] ? " \"" + printable(word) + "\" is not" : " is missing, not") +
                                        " a whole number of milliseconds");
    }
    TimelineEntry& row = schedule.entries[schedule.scheduleCount++];
    row.effect = effect;
    row.start = uint32_t(readInt(startWord));
    row.end = uint32_t(readInt(endWord));
}

[[noreturn]] void scriptFails(const char* scriptName, const std::string& why) {
    throw FatalError(std::string("script \"") + scriptName + "\": " + why);
}

std::string wrongHeader(const std::string& header) {
    return header.empty() ? "does not start with INI_01 (its first line is empty)"
                          : "does not start with INI_01 (it starts with \"" + header + "\")";
}

// Why the show cannot run from a parsed script, first reason first.
std::vector<std::string> unplayable(const Schedule& schedule) {
    std::vector<std::string> why;
    if (schedule.scheduleCount == 0)
        why.push_back("no FXTIME row names a registered effect, so there is no show to run");
    for (int slot = 0; slot < 2; ++slot)
        if (schedule.imageSlots[slot][0] == '\0')
            why.push_back("loading-screen picture " + std::to_string(slot) + " is not named (LOADIMAGE " +
                          std::to_string(slot) + ")");
    return why;
}

// Script line (from 1) of a byte offset, counting on from the previous call.
class LineCounter {
public:
    explicit LineCounter(const DataFile& file) : file_(file) {}
    int lineAt(uint32_t offset) {
        for (; counted_ < offset && counted_ < file_.size(); ++counted_) line_ += file_.data()[counted_] == '\n';
        return line_;
    }

private:
    const DataFile& file_;
    uint32_t        counted_ = 0;   // bytes looked at
    int             line_ = 1;
};

// The parse proper, from the start of the script's bytes.  False when the
// first word is not the header (then nothing is filled, and that word goes
// to *header when asked for).  notes, when given, only watch.
bool parse(Schedule& schedule, DataFile& script, const EffectRegistry& registry, std::string* header,
           ScriptNotes* notes) {
    char line[kLineLength + 1] = {};
    char word[kLineLength] = {};
    script.readLine(line, kLineLength);
    scanWord(line, word, kLineLength);
    if (std::strcmp(word, "INI_01") != 0) {
        if (header) *header = printable(word);
        note(notes, 1, wrongHeader(printable(word)));
        return false;
    }

    LineCounter counter(script);
    int lineNo = 1;
    while (!std::strstr(word, "END_01")) {
        if (script.cursor() >= script.size()) break;   // no end marker: stop at the data's end
        std::memset(line, 0, sizeof line);
        std::memset(word, 0, sizeof word);
        lineNo = counter.lineAt(script.cursor());
        script.readLine(line, kLineLength);
        scanWord(line, word, kLineLength);
        if (script.cursor() < script.size() && script.data()[script.cursor() - 1] != '\n')
            note(notes, lineNo, "longer than " + std::to_string(kLineLength) +
                                    " characters: the rest is read as a line of its own");

        if (std::strcmp(word, "MUSIC") == 0) {
            scanWord(line + kMusicColumn, schedule.musicName, kNameLength);
            if (notes) notes->musicLine = lineNo;
            if (!schedule.musicName[0]) note(notes, lineNo, "MUSIC names no file");
        } else if (std::strcmp(word, "LOADIMAGE") == 0) {
            int slot = readInt(line + kSlotIndexColumn);
            if (slot == 0 || slot == 1) {
                scanWord(line + kSlotNameColumn, schedule.imageSlots[slot], kNameLength);
                if (notes) notes->imageSlotLines[slot] = lineNo;
                if (!schedule.imageSlots[slot][0])
                    note(notes, lineNo, "LOADIMAGE " + std::to_string(slot) + " names no picture");
            } else {
                note(notes, lineNo, "LOADIMAGE slot " + std::to_string(slot) +
                                        " is out of range: the loading screen has slots 0 and 1");
            }
        } else if (std::strcmp(word, "FXTIME") == 0) {
            parseFxTime(schedule, line, registry, notes, lineNo);
        } else if (word[0] && word[0] != '#' && !std::strstr(word, "END_01")) {
            note(notes, lineNo,
                 "unknown keyword \"" + printable(word) + "\": the line is ignored (comments start with #)");
        }
    }
    if (!std::strstr(word, "END_01")) note(notes, lineNo, "no END_01: the script ends without its end marker");
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
    if (!parse(schedule, *script, registry, &header, nullptr)) scriptFails(scriptName, wrongHeader(header));
    const std::vector<std::string> why = unplayable(schedule);
    if (!why.empty()) scriptFails(scriptName, why.front());
}

bool loadScript(Schedule& schedule, const char* scriptName, DataFileService& files,
                const EffectRegistry& registry) {
    std::unique_ptr<DataFile> script = files.find(scriptName);
    return !script || parse(schedule, *script, registry, nullptr, nullptr);
}

bool parseScript(Schedule& schedule, DataFile& script, const EffectRegistry& registry, ScriptNotes& notes) {
    if (!parse(schedule, script, registry, nullptr, &notes)) return false;
    for (const std::string& why : unplayable(schedule)) note(&notes, 0, why);
    return true;
}
