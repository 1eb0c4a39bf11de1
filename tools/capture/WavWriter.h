// 16-bit stereo PCM in a RIFF/WAVE file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// frames are interleaved L, R pairs; false when the file cannot be written.
bool writeWav(const std::string& path, const std::vector<int16_t>& stereo, int rate);
