// Where the loading time goes.  BM_Loading runs the show's first pass as
// the capture does (window, loading-screen pictures, every effect's init,
// the loading frames run unseen but for the last) on the content in
// HLV_CONTENT (default ./content) and reports the capture's loadingMs; the
// argument is the height of a 4:3 (600) or 16:9 (720, 1080) screen.
// BM_LoadingScreenFrame is one loading-screen frame at 1920 x 1080, drawn
// whole (0) or from the kept frame (1), as a window draws them after an init.
//   build/bench/halvoren_bench --benchmark_filter=Loading
#include <cstdlib>
#include <string>

#include <epoxy/gl.h>
#include <benchmark/benchmark.h>

#include "Capture.h"
#include "engine/DemoTypes.h"
#include "engine/LoadingScreen.h"
#include "platform/GlWindow.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {

std::string contentDir() {
    const char* dir = std::getenv("HLV_CONTENT");
    return dir ? dir : "content";
}

void BM_Loading(benchmark::State& state) {
    CaptureOptions o;
    o.dir = contentDir();
    o.height = int(state.range(0));
    o.width = o.height == 600 ? 800 : o.height * 16 / 9;
    o.to = 1;   // one show frame: the first pass is what is timed
    double least = 1e9;
    for (auto _ : state) {
        const CaptureResult r = runCapture(o);
        if (r.status != 0) {
            state.SkipWithError(("cannot load " + o.dir + ": " + r.error).c_str());
            return;
        }
        least = std::min(least, r.loadingMs);
        state.SetIterationTime(r.loadingMs / 1000.0);
    }
    state.counters["least_loading_ms"] = least;
}
BENCHMARK(BM_Loading)->Arg(600)->Arg(720)->Arg(1080)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_LoadingScreenFrame(benchmark::State& state) {
    GlWindow window;
    DemoContext demo;
    demo.display.width = 1920;
    demo.display.height = 1080;
    if (!window.createWindow("halvoren bench", demo.display)) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    DataFileService files(contentDir() + "/");
    files.init();
    uint32_t slots[2] = {};
    try {
        slots[0] = loadTexture("loading/fondo.png", files);
        slots[1] = loadTexture("loading/damunt.png", files);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        window.destroyContext();
        return;
    }
    LoadingScreen screen;
    float progress = -0.8f;
    for (auto _ : state) {
        if (state.range(0)) screen.draw(slots[0], slots[1], progress);
        else drawLoadingScreen(slots[0], slots[1], progress);
        window.presentFrame();
        progress = progress > 0.5f ? -0.8f : progress + 0.08f;
    }
    screen.release();
    window.destroyContext();
}
BENCHMARK(BM_LoadingScreenFrame)->Arg(0)->Arg(1)->ArgName("kept")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
