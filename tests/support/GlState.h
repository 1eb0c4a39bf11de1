// A snapshot of the fixed-function state that drawing helpers promise to
// leave alone, so a test can say "as before" in one comparison.
#pragma once

#include <string>

namespace hlvtest {

struct GlState {
    bool  lighting, colorMaterial, texGenS, texGenT, depthTest, blend, cullFace, texture2D;
    int   blendSrc, blendDst, frontFace, boundTexture, matrixMode;
    int   modelviewDepth, projectionDepth;   // matrix stack depths
    float color[4];                          // current colour
    float modelview[16], projection[16];

    static GlState capture();
    // Names of the fields that differ, blank when none does.
    std::string diff(const GlState& other) const;
};

// Sets every field of GlState to something no drawing helper would choose,
// so a helper that forgets to restore a field shows up in diff().
void setUnusualGlState();

}  // namespace hlvtest
