#include "engine/MusicBars.h"

#include <algorithm>
#include <memory>

#include <libopenmpt/libopenmpt.h>

#include "engine/MusicDecoder.h"
#include "resources/DataFile.h"

namespace {
constexpr uint32_t kRowsPerBeat = 4;
constexpr uint32_t kBeatsPerBar = 4;
}

MusicBars::~MusicBars() { close(); }

void MusicBars::close() {
    if (module_) openmpt_module_destroy(module_);
    module_ = nullptr;
    rowsBefore_.clear();
}

void MusicBars::open(const char* musicName, DataFileService& files) {
    close();
    if (!musicName[0] || musicModeFor(musicName) != MusicMode::Module) return;
    const std::unique_ptr<DataFile> file = files.find(musicName);
    if (!file) return;
    module_ = openmpt_module_create_from_memory2(file->data(), file->size(), openmpt_log_func_silent, nullptr,
                                                 openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
    if (!module_) return;
    uint32_t rows = 0;
    for (int32_t order = 0; order < openmpt_module_get_num_orders(module_); ++order) {
        rowsBefore_.push_back(rows);
        const int32_t pattern = openmpt_module_get_order_pattern(module_, order);
        rows += uint32_t(std::max(openmpt_module_get_pattern_num_rows(module_, pattern), 0));
    }
}

std::string MusicBars::at(uint32_t ms) {
    if (!module_) return {};
    openmpt_module_set_position_seconds(module_, ms / 1000.0);
    const int32_t order = openmpt_module_get_current_order(module_);
    const int32_t row = openmpt_module_get_current_row(module_);
    if (order < 0 || size_t(order) >= rowsBefore_.size() || row < 0) return {};
    const uint32_t beat = (rowsBefore_[size_t(order)] + uint32_t(row)) / kRowsPerBeat;
    return "bar " + std::to_string(beat / kBeatsPerBar + 1) + " beat " + std::to_string(beat % kBeatsPerBar + 1);
}
