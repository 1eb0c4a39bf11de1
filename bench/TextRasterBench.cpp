// The text effects' init work: each line is drawn, blurred and added on
// 512 x 512 images, and every image becomes a mipmapped texture.  All of it
// happens behind the loading screen, so it counts towards the loading time.
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_Credits.h"
#include "effects/FX_Greetings.h"
#include "effects/FX_Present.h"
#include "platform/GlWindow.h"
#include "resources/TextRaster.h"

namespace {

using Pixels = std::vector<uint8_t>;

// Some text with its glow, so the blur and the add see real values.
Pixels textImage() {
    Pixels p(kTextImageBytes);
    renderText(100, 180, 80, "Halvoren", "ARIAL", p.data(), kTextImageSide, kTextImageSide);
    return p;
}

void BM_RenderText(benchmark::State& state) {
    Pixels out(kTextImageBytes);
    for (auto _ : state) {
        renderText(10, 87, 80, "   by Tarnwell ", "ARIAL", out.data(), kTextImageSide, kTextImageSide);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RenderText)->Unit(benchmark::kMicrosecond);

void BM_BlurDecay(benchmark::State& state) {
    const Pixels text = textImage();
    Pixels p = text;
    for (auto _ : state) {
        blurDecay(p.data(), kTextImageSide, kTextImageSide);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlurDecay)->Unit(benchmark::kMicrosecond);

void BM_AddSaturate(benchmark::State& state) {
    const Pixels text = textImage();
    Pixels canvas(kTextImageBytes, 100);
    for (auto _ : state) {
        addSaturate(canvas.data(), text.data(), kTextImageSide * kTextImageSide);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AddSaturate)->Unit(benchmark::kMicrosecond);

// Whole init of each effect, textures included, on an offscreen context.
template <class FX>
void BM_Init(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindow window;
    DemoContext demo;
    if (!window.createWindow("halvoren bench", demo.display)) {
        state.SkipWithError("no offscreen GL context");
        return;
    }
    for (auto _ : state) {
        FX fx(demo);
        fx.init();
    }
    window.destroyContext();
}
BENCHMARK(BM_Init<FX_Present>)->Name("BM_PresentInit")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Init<FX_Greetings>)->Name("BM_GreetingsInit")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Init<FX_Credits>)->Name("BM_CreditsInit")->Unit(benchmark::kMillisecond);

// The same without GL: the text images alone.
void BM_GreetingsPages(benchmark::State& state) {
    Pixels canvas(kTextImageBytes), scratch(kTextImageBytes);
    for (auto _ : state)
        for (int p = 0; p < FX_Greetings::kPages; ++p) FX_Greetings::buildPage(p, canvas.data(), scratch.data());
}
BENCHMARK(BM_GreetingsPages)->Unit(benchmark::kMillisecond);

}  // namespace
