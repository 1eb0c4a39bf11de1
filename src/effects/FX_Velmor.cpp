#include "effects/FX_Velmor.h"

#include <string>

#include <epoxy/gl.h>

#include "effects/Camera.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {

constexpr const char* kHeightMap = "velm/canon.raw";
constexpr const char* kGroundTexture = "velm/textura.png";
constexpr const char* kShineTexture = "velm/brillo.png";

// Grid: map rows and columns -256, -251 ... 249 around the centre, every
// fifth sample 0.04 units apart in x and z, 0.02 units of height per byte.
constexpr int    kFirstSample = -256;
constexpr int    kSampleEnd = 251;
constexpr int    kSampleStep = 5;
// Products are taken in double and rounded once, so every vertex lands on
// the same float whatever the compiler folds.
constexpr double kUnit = 0.01;
constexpr int    kSampleScale = 4;   // kUnit per map sample
constexpr int    kHeightScale = 2;   // kUnit per height byte
constexpr float  kNormalWeight = 0.18181819f;   // 2/11

// 15 degrees per second of music time, from the absolute clock.
constexpr double kDegreesPerSecond = 60 * 0.25;

constexpr float   kTiltX = -12.0f;   // for the effects drawn in the same frames
constexpr GLfloat kLightAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
constexpr GLfloat kLightPosition[] = {0.0f, -20.0f, 20.0f, 1.0f};   // below the hills, behind the camera
constexpr GLfloat kWhite[] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float   kShininess = 128.0f;
constexpr GLfloat kPlaneS[] = {1.0f, 0.0f, 0.0f, 0.0f};   // s = x: the ground repeats once per unit
constexpr GLfloat kPlaneT[] = {0.0f, 0.0f, 1.0f, 0.0f};   // t = z

}  // namespace

FX_Velmor::FX_Velmor(DemoContext& demo) : IEffect("VelmorFX"), demo_(demo) {}

uint32_t FX_Velmor::buildMesh(const uint8_t* heightMap, Vec3* vertices, Vec3* normals, uint32_t* indices) {
    uint32_t count = 0;
    for (int i = kFirstSample; i < kSampleEnd; i += kSampleStep) {
        for (int j = kFirstSample; j < kSampleEnd; j += kSampleStep) {
            if (count >= kCapacity) return 0;
            const uint8_t h = heightMap[(i - kFirstSample) * int(kMapSide) + (j - kFirstSample)];
            vertices[count++] = {float(kUnit * (kSampleScale * j)), float(kUnit * (kHeightScale * h)),
                                 float(kUnit * (kSampleScale * i))};
        }
    }
    // Rows are rings: the last column joins the first and the last row the
    // first, with triangles culled from above.
    const RingLayout layout{kGridSide, count, true, kNormalWeight, RingLayout::Indexing::Reversed};
    triangulateRings(vertices, normals, indices, layout);
    return count;
}

float FX_Velmor::heading(uint32_t t) { return float(t / 1000.0 * kDegreesPerSecond); }

DataFileNeeds FX_Velmor::dataFiles() const { return {{kHeightMap, kMapBytes}, {kGroundTexture}, {kShineTexture}}; }

void FX_Velmor::init() {
    release();   // a second init gives the first buffers back
    capacity_ = kCapacity;
    vertices_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    normals_ = static_cast<Vec3*>(allocZeroed(capacity_ * sizeof(Vec3)));
    indices_ = static_cast<uint32_t*>(allocZeroed(capacity_ * 6 * sizeof(uint32_t)));
    heightMap_ = static_cast<uint8_t*>(allocZeroed(kMapBytes));

    camera_ = Camera{{0, 2, 0}, {0, 1, 0}, {0, 2.4f, 1}, 0.5f, 100.0f, 45.0f};

    // A short map would leave the far hills flat.  Stored content may carry a
    // longer file; the landscape reads only its first 512 x 512 bytes.
    std::unique_ptr<DataFile> map = demo_.files->find(kHeightMap);
    if (!map) throw FatalError(std::string("height map \"") + kHeightMap + "\": not found");
    if (map->size() < kMapBytes)
        throw FatalError(std::string("height map \"") + kHeightMap + "\": " + std::to_string(map->size()) +
                         " bytes, expected 512 x 512 = " + std::to_string(kMapBytes));
    map->read(heightMap_, kMapBytes, 1);
    map->freeData();
    map.reset();

    groundTexture_ = loadTexture(kGroundTexture, *demo_.files);
    shineTexture_ = loadTexture(kShineTexture, *demo_.files);

    vertexCount_ = buildMesh(heightMap_, vertices_, normals_, indices_);
}

void FX_Velmor::start() {
    glVertexPointer(3, GL_FLOAT, 0, vertices_);
    glNormalPointer(GL_FLOAT, 0, normals_);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glClearColor(0, 0, 0, 0);

    // Unit 0: the ground, modulated by the lit colour (the combine functions
    // keep their defaults).
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, groundTexture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGenfv(GL_S, GL_OBJECT_PLANE, kPlaneS);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, kPlaneT);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    // Unit 1: the shine added on top; it stays the active unit.
    glActiveTextureARB(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, shineTexture_);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    applyCamera(camera_, demo_.aspect());

    // Given after the camera, so the light is placed in world space.
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

    glDisable(GL_BLEND);
    demo_.angles.angleX = kTiltX;
}

void FX_Velmor::render(uint32_t time_ms, uint32_t delta_ms) {
    (void)delta_ms;
    glPushMatrix();
    glRotatef(heading(time_ms), 0, 1, 0);
    glColor3f(1, 1, 1);
    if (vertexCount_ > 0) glDrawElements(GL_TRIANGLES, GLsizei(6 * vertexCount_), GL_UNSIGNED_INT, indices_);
    glPopMatrix();
}

void FX_Velmor::release() {
    freeBlock(heightMap_);
    freeBlock(vertices_);
    freeBlock(normals_);
    freeBlock(indices_);
    heightMap_ = nullptr;
    vertices_ = normals_ = nullptr;
    indices_ = nullptr;
    vertexCount_ = 0;   // render draws nothing until the next init
    capacity_ = 0;
}
