// A snapshot of the fixed-function state that drawing helpers promise to
// leave alone, so a test can say "as before" in one comparison.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace hlvtest {

struct GlState {
    std::vector<std::pair<const char*, std::vector<float>>> fields;   // name, value as glGetFloatv gives it

    static GlState capture();
    // Names of the fields that differ, blank when none does.
    std::string diff(const GlState& other) const;
};

// Sets every field of GlState to something no drawing helper would choose,
// so a helper that forgets to restore a field shows up in diff().
void setUnusualGlState();

}  // namespace hlvtest
