#include "effects/FX_GOA.h"

#include <cmath>
#include <cstring>

#include <epoxy/gl.h>

#include "effects/Camera.h"
#include "effects/RingMesh.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTexture = "goa/textura.png";

// Rings: radial period 20 pi pixels, values 0 ... 128.
constexpr float kRingScale = 20.0f;
constexpr float kRingPeak = 128.0f;

// Windows: origin 20 + |100 f + 100| for f a sine or cosine of the phases.
constexpr double kPhase1PerSecond = 0.005 * 60;   // radians, ringsA's circle
constexpr double kPhase2PerSecond = 0.008 * 60;   // radians, ringsB's figure-eight
constexpr float  kWindowSwing = 100.0f;
constexpr uint32_t kWindowMargin = 20;

// Turning: 0.1 degree per ms of a burst.
constexpr RhythmTiming kRhythm{800, 500, false};
constexpr float kMsPerDegree = 10.0f;

// Cells: 90 units apart, every fifth field byte; scaled by 0.01 and centred.
constexpr int   kCellSize = 90;
constexpr int   kCellEnd = 4518;
constexpr int   kFieldStep = 5;
constexpr float kTexStep = 5.0f / 256.0f;
constexpr float kScale = 0.01f;
constexpr float kCentre = -2304.0f;

constexpr GLfloat kLightAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
constexpr GLfloat kLightPosition[] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float   kShininess = 128.0f;
constexpr GLfloat kFogColour[] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr float   kFogDensity = 0.05f;
constexpr float   kFogStart = 20.0f;
constexpr float   kFogEnd = 45.0f;

// Eight unsigned bytes added at once, each sum clamped at 255.
inline uint64_t addSaturated(uint64_t a, uint64_t b) {
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const uint64_t low = (a & ~kHigh) + (b & ~kHigh);   // no carry crosses a byte
    const uint64_t sum = low ^ ((a ^ b) & kHigh);         // wrapped byte sums
    const uint64_t carry = ((a & b) | ((a | b) & ~sum)) & kHigh;
    return sum | ((carry >> 7) * 0xFF);
}

uint32_t windowOrigin(float f) {
    const float v = kWindowSwing * f + kWindowSwing;
    return uint32_t(std::fabs(v)) + kWindowMargin;
}

}  // namespace

FX_GOA::FX_GOA(DemoContext& demo) : IEffect("604Effect"), demo_(demo), rhythm_(kRhythm) {}

void FX_GOA::fillRings(uint8_t* image, uint32_t n) {
    const int h = int(n / 2);
    for (int i = 0; i < int(n); ++i) {
        for (int j = 0; j < int(n); ++j) {
            const int a = i + 1 - h, b = j + 1 - h;
            const float d = std::sqrt(float(a * a + b * b));
            image[i * int(n) + j] = uint8_t(std::fabs(kRingPeak * std::sin(d / kRingScale)));
        }
    }
}

GoaWindows FX_GOA::windowsAt(uint32_t t) {
    const double seconds = t / 1000.0;
    const float theta1 = float(kPhase1PerSecond * seconds);
    const float theta2 = float(kPhase2PerSecond * seconds);
    return {windowOrigin(std::sin(theta1)), windowOrigin(std::cos(theta1)), windowOrigin(std::cos(2.0f * theta2)),
            windowOrigin(std::sin(theta2))};
}

void FX_GOA::sumWindows(const uint8_t* a, const uint8_t* b, const GoaWindows& w, uint8_t* field) {
    for (uint32_t r = 0; r < kSummedRows; ++r) {
        const uint8_t* rowA = a + (w.y1 + r) * kRingSide + w.x1;
        const uint8_t* rowB = b + (w.y2 + r) * kRingSide + w.x2;
        uint8_t* out = field + r * kFieldSide;
        for (uint32_t c = 0; c < kFieldSide; c += 8) {
            uint64_t qa, qb;
            std::memcpy(&qa, rowA + c, 8);
            std::memcpy(&qb, rowB + c, 8);
            const uint64_t q = addSaturated(qa, qb);
            std::memcpy(out + c, &q, 8);
        }
    }
}

DataFileNeeds FX_GOA::dataFiles() const { return {{kTexture}}; }

void FX_GOA::init() {
    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 10, -30}, 0.5f, 100.0f, 45.0f};
    heightField_ = static_cast<uint8_t*>(allocZeroed(kFieldBytes));
    ringsA_ = static_cast<uint8_t*>(allocZeroed(kRingBytes));
    ringsB_ = static_cast<uint8_t*>(allocZeroed(kRingBytes));
    fillRings(ringsA_, kRingSide);
    fillRings(ringsB_, kRingSide);
    texture_ = loadTexture(kTexture, *demo_.files);
}

void FX_GOA::start() {
    applyCamera(camera_, demo_.aspect());

    // Light and material stay set for whoever lights next; this effect
    // switches lighting off again below.
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kWhite);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, kWhite);
    glMaterialf(GL_FRONT, GL_SHININESS, kShininess);

    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, kFogColour);
    glFogf(GL_FOG_DENSITY, kFogDensity);
    glFogf(GL_FOG_START, kFogStart);
    glFogf(GL_FOG_END, kFogEnd);
    glEnable(GL_FOG);

    // Works on whichever texture unit is active; nearest minification
    // replaces the mipmaps, keeping the grid lines crisp in the distance.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);

    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBlendFunc(GL_DST_COLOR, GL_SRC_ALPHA);
    glClearColor(0, 0, 0, 0);
}

void FX_GOA::turn(uint32_t t, uint32_t dt) {
    // A burst's last frame still turns.
    if (rhythm_.advance(t).step) demo_.angles.angleY += float(dt) / kMsPerDegree;
}

void FX_GOA::drawCells() const {
    const uint8_t* f = heightField_;
    glBegin(GL_TRIANGLES);
    for (int z = 0; z < kCellEnd; z += kCellSize) {
        const int rr = z / kCellSize;
        const float v = float(kFieldStep * rr) / 256.0f;
        for (int x = 0; x < kCellEnd; x += kCellSize) {
            const int cc = x / kCellSize;
            const float u = float(kFieldStep * cc) / 256.0f;
            const int p = rr * kFieldStep * int(kFieldSide) + cc * kFieldStep;
            const uint8_t I = f[p], G = f[p + kFieldStep];
            const uint8_t F = f[p + kFieldStep * kFieldSide], H = f[p + kFieldStep * kFieldSide + kFieldStep];
            const Vec3 a{float(x), float(I), float(z)};
            const Vec3 b{float(x), float(F), float(z + kCellSize)};
            const Vec3 c{float(x + kCellSize), float(G), float(z)};
            const Vec3 d{float(x + kCellSize), float(H), float(z + kCellSize)};

            Vec3 n = unitFaceNormal(a, b, c);
            glNormal3f(n.x, n.y, n.z);
            glColor3ub(I, I, I); glTexCoord2f(u, v);            glVertex3i(x, I, z);
            glColor3ub(F, F, F); glTexCoord2f(u, v + kTexStep); glVertex3i(x, F, z + kCellSize);
            glColor3ub(G, G, G); glTexCoord2f(u + kTexStep, v); glVertex3i(x + kCellSize, G, z);

            n = unitFaceNormal(c, b, d);
            glNormal3f(n.x, n.y, n.z);
            glColor3ub(G, G, G); glTexCoord2f(u + kTexStep, v);            glVertex3i(x + kCellSize, G, z);
            glColor3ub(F, F, F); glTexCoord2f(u, v + kTexStep);            glVertex3i(x, F, z + kCellSize);
            glColor3ub(H, H, H); glTexCoord2f(u + kTexStep, v + kTexStep); glVertex3i(x + kCellSize, H, z + kCellSize);
        }
    }
    glEnd();
}

void FX_GOA::render(uint32_t time_ms, uint32_t delta_ms) {
    sumWindows(ringsA_, ringsB_, windowsAt(time_ms), heightField_);
    turn(time_ms, delta_ms);
    glPushMatrix();
    glRotatef(demo_.angles.angleY, 0, 1, 0);
    glScalef(kScale, kScale, kScale);
    glTranslatef(kCentre, 0, kCentre);
    drawCells();
    glPopMatrix();
}

void FX_GOA::release() {
    freeBlock(heightField_);
    freeBlock(ringsA_);
    freeBlock(ringsB_);
    heightField_ = ringsA_ = ringsB_ = nullptr;
}
