// The show: no command line.  Start-up runs in a fixed order and shutdown in
// reverse; the engine owns everything between.
#include <cstdio>

#include "engine/EffectRegistry.h"
#include "engine/Engine.h"
#include "engine/MusicPlayer.h"
#include "platform/GlWindow.h"
#include "resources/DataFile.h"

int main() {
    DemoContext demo;
    DataFileService& files = DataFileService::instance();
    files.init();
    if (!files.archiveError().empty()) {
        std::fprintf(stderr, "halvoren: %s\n", files.archiveError().c_str());
        return 1;
    }
    demo.files = &files;

    GlWindow window;
    MusicPlayer clock(files);
    Engine engine(demo, EffectRegistry::instance(), clock, window);
    try {
        return engine.run();
    } catch (const FatalError& error) {
        std::fprintf(stderr, "halvoren: %s\n", error.what());
        return 1;
    }
}
