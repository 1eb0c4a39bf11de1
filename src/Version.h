// The version every program prints for --version, one text for all of them:
// "1.2.3", followed in a git checkout by what git describe says, e.g.
// "1.2.3 (git v1.2.3-4-gabcdef0-dirty)".  Made at build time.
#pragma once

const char* halvorenVersion();
