#include "Content.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <zlib.h>

#include "JpegWriter.h"
#include "MusicComposer.h"
#include "Pictures.h"
#include "Script.h"
#include "resources/PngWriter.h"

namespace gen {

namespace {

constexpr int kPngLevel = 6;       // zlib's default: level 9 takes four times as long for 3% less
constexpr int kJpegQuality = 92;
constexpr int kLayerSets[] = {1, 2, 3, 4, 5, 6, 8, 9};
constexpr unsigned kMaxThreads = 8;

std::vector<uint8_t> encoded(int w, int h, int channels, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> file = encodePng(packedPixels(w, h, channels, bytes.data()), kPngLevel);
    if (file.empty()) throw std::runtime_error("libpng cannot encode a " + std::to_string(w) + "x" + std::to_string(h) + " picture");
    return file;
}

std::vector<uint8_t> png(const Picture& pic) { return encoded(pic.w, pic.h, 3, toBytes(pic)); }

std::vector<uint8_t> png(const Picture& pic, const Plane& alpha) { return encoded(pic.w, pic.h, 4, toBytes(pic, &alpha)); }

std::vector<uint8_t> toVector(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace

std::string contentVersion() {
    const std::vector<uint8_t> music = composeMusic();
    char line[80];
    std::snprintf(line, sizeof line, "halvoren-content %d music %08lx", kContentGeneration,
                  crc32(0, music.data(), uInt(music.size())));
    return line;
}

std::vector<ContentFile> buildContent() {
    // Each file is one job; workers take jobs in turn and every result lands
    // in its job's slot, so the order and the bytes never depend on timing.
    using Job = std::function<std::vector<uint8_t>(const Fonts&)>;
    std::vector<std::pair<std::string, Job>> jobs;
    auto add = [&](std::string name, Job job) { jobs.emplace_back(std::move(name), std::move(job)); };

    add("hlv.txt", [](const Fonts&) { return toVector(timelineScript()); });
    add(kMusicFile, [](const Fonts&) { return composeMusic(); });
    add("menu.jpg", [](const Fonts& f) {
        const std::vector<uint8_t> menu = toBytes(menuPicture(f));
        return encodeJpeg(kMenuWidth, kMenuHeight, menu.data(), kJpegQuality);
    });
    add(kLoadingBackgroundFile, [](const Fonts&) { return png(loadingBackground()); });
    add(kLoadingOverlayFile, [](const Fonts& f) {
        const RgbaPicture overlay = loadingOverlay(f);
        return png(overlay.colour, overlay.alpha);
    });
    add("final.png", [](const Fonts& f) { return png(finalPicture(f)); });

    // A layer set is made once and written as three files.
    std::vector<std::shared_ptr<std::once_flag>> made;
    std::vector<std::shared_ptr<LayerPictures>> sets;
    for (int n : kLayerSets) {
        auto once = std::make_shared<std::once_flag>();
        auto set = std::make_shared<LayerPictures>();
        auto part = [n, once, set](Picture LayerPictures::*which) {
            return [n, once, set, which](const Fonts& f) {
                std::call_once(*once, [&] { *set = layerSet(n, f); });
                return png((*set).*which);
            };
        };
        const std::string stem = "layers/" + std::to_string(n);
        add(stem + "_fondo.png", part(&LayerPictures::background));
        add(stem + "_damunt.png", part(&LayerPictures::foreground));
        add(stem + "_mascara.png", part(&LayerPictures::mask));
    }

    add("tunnel/textura.png", [](const Fonts&) { return png(tunnelTexture()); });
    add("pqknot/textura.png", [](const Fonts&) { return png(knotTexture()); });
    add("metaballs/textura.png", [](const Fonts&) { return png(metaballsTexture()); });
    add("sphereb/textura.png", [](const Fonts&) { return png(sphereTexture()); });
    add("sphereb/FLARE.png", [](const Fonts&) { return png(flareTexture(true)); });
    add("cubem/textura.png", [](const Fonts&) { return png(cubeMorphTexture()); });
    add("cubef/textura.png", [](const Fonts&) { return png(cubeFloorTexture()); });
    add("column/textura.png", [](const Fonts&) { return png(columnTexture()); });
    add("goa/textura.png", [](const Fonts&) { return png(goaTexture()); });
    add("velm/textura.png", [](const Fonts&) { return png(groundTexture()); });
    add("velm/brillo.png", [](const Fonts&) { return png(shineTexture()); });
    add("cflare/FLARE.png", [](const Fonts&) { return png(flareTexture(false)); });
    add("velm/canon.raw", [](const Fonts&) { return toGreyBytes(heightMap()); });

    std::vector<ContentFile> files(jobs.size());
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::string failure;
    auto worker = [&] {
        try {
            const Fonts fonts;   // FreeType faces are not shared between threads
            for (size_t i; (i = next++) < jobs.size();) files[i] = {jobs[i].first, jobs[i].second(fonts)};
        } catch (const std::exception& e) {
            const std::lock_guard<std::mutex> hold(failureLock);
            failure = e.what();
            next = jobs.size();
        }
    };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    if (!failure.empty()) throw std::runtime_error(failure);
    return files;
}

bool writeContent(const std::string& outDir, std::string* error) {
    namespace fs = std::filesystem;
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    std::vector<ContentFile> files;
    try {
        files = buildContent();
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    const fs::path data = fs::path(outDir) / "data";
    for (const ContentFile& file : files) {
        const fs::path path = data / file.name;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        if (ec) return fail(path.parent_path().string() + ": " + ec.message());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
        out.close();
        if (!out) return fail(path.string() + ": cannot write");
    }
    return true;
}

}  // namespace gen
