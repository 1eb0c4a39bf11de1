#include "Content.h"

#include <cstdio>
#include <filesystem>
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

std::vector<uint8_t> png(const Picture& pic) {
    const std::vector<uint8_t> bytes = toBytes(pic);
    return encodePng(pic.w, pic.h, 3, bytes.data(), kPngLevel);
}

std::vector<uint8_t> png(const Picture& pic, const Plane& alpha) {
    const std::vector<uint8_t> bytes = toBytes(pic, &alpha);
    return encodePng(pic.w, pic.h, 4, bytes.data(), kPngLevel);
}

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
    const Fonts fonts;
    std::vector<ContentFile> files;
    files.push_back({"hlv.txt", toVector(timelineScript())});
    files.push_back({kMusicFile, composeMusic()});

    const std::vector<uint8_t> menu = toBytes(menuPicture(fonts));
    files.push_back({"menu.jpg", encodeJpeg(kMenuWidth, kMenuHeight, menu.data(), kJpegQuality)});
    files.push_back({kLoadingBackgroundFile, png(loadingBackground())});
    const RgbaPicture overlay = loadingOverlay(fonts);
    files.push_back({kLoadingOverlayFile, png(overlay.colour, overlay.alpha)});
    files.push_back({"final.png", png(finalPicture(fonts))});

    for (int n : kLayerSets) {
        const LayerPictures set = layerSet(n, fonts);
        const std::string stem = "layers/" + std::to_string(n);
        files.push_back({stem + "_fondo.png", png(set.background)});
        files.push_back({stem + "_damunt.png", png(set.foreground)});
        files.push_back({stem + "_mascara.png", png(set.mask)});
    }

    files.push_back({"tunnel/textura.png", png(tunnelTexture())});
    files.push_back({"pqknot/textura.png", png(knotTexture())});
    files.push_back({"metaballs/textura.png", png(metaballsTexture())});
    files.push_back({"sphereb/textura.png", png(sphereTexture())});
    files.push_back({"sphereb/FLARE.png", png(flareTexture(true))});
    files.push_back({"cubem/textura.png", png(cubeMorphTexture())});
    files.push_back({"cubef/textura.png", png(cubeFloorTexture())});
    files.push_back({"column/textura.png", png(columnTexture())});
    files.push_back({"goa/textura.png", png(goaTexture())});
    files.push_back({"velm/textura.png", png(groundTexture())});
    files.push_back({"velm/brillo.png", png(shineTexture())});
    files.push_back({"cflare/FLARE.png", png(flareTexture(false))});
    files.push_back({"velm/canon.raw", toGreyBytes(heightMap())});
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
