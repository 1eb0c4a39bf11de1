// Tracker modules (MOD, XM, S3M, IT and the rest libopenmpt knows), played once.
#pragma once

#include "engine/MusicDecoder.h"

struct openmpt_module;

class ModuleDecoder : public MusicDecoder {
public:
    // Null when libopenmpt does not take the bytes; the reason goes to whyNot.
    static std::unique_ptr<ModuleDecoder> open(const uint8_t* bytes, size_t size, std::string& whyNot);

    ~ModuleDecoder() override;
    ModuleDecoder(const ModuleDecoder&) = delete;
    ModuleDecoder& operator=(const ModuleDecoder&) = delete;

    int render(int16_t* stereo, int frames) override;
    bool seek(uint32_t ms) override;

private:
    explicit ModuleDecoder(openmpt_module* module) : module_(module) {}

    openmpt_module* module_;   // owned
};
