#include "effects/RingMesh.h"

namespace {

bool wholeRings(const RingLayout& layout) {
    return layout.ringSize > 0 && layout.vertexCount >= layout.ringSize &&
           layout.vertexCount % layout.ringSize == 0;
}

}  // namespace

uint32_t ringQuadCount(const RingLayout& layout) {
    if (!wholeRings(layout)) return 0;
    return layout.closed ? layout.vertexCount : layout.vertexCount - layout.ringSize;
}

uint32_t ringIndexCount(const RingLayout& layout) {
    const uint32_t perQuad = layout.indexing == RingLayout::Indexing::Strip ? 2u : 6u;
    return ringQuadCount(layout) * perQuad;
}

uint32_t triangulateRings(const Vec3* v, Vec3* normals, uint32_t* indices, const RingLayout& layout) {
    const uint32_t quads = ringQuadCount(layout);
    if (quads == 0) return 0;

    const uint32_t K = layout.ringSize;
    const uint32_t T = layout.vertexCount;
    const float weight = layout.normalWeight;

    for (uint32_t i = 0; i < quads; ++i) {
        const uint32_t j = i - i % K + (i + 1) % K;
        const uint32_t k = (i + K) % T;
        const uint32_t l = k - k % K + (k + 1) % K;

        const Vec3 n1 = withLength(cross(v[k] - v[i], v[i] - v[j]), weight);
        normals[i] += n1;
        normals[k] += n1;
        normals[j] += n1;

        const Vec3 n2 = withLength(cross(v[l] - v[k], v[k] - v[j]), weight);
        normals[k] += n2;
        normals[l] += n2;
        normals[j] += n2;

        uint32_t* q = indices + (layout.indexing == RingLayout::Indexing::Strip ? 2 : 6) * i;
        switch (layout.indexing) {
        case RingLayout::Indexing::Strip:
            q[0] = l; q[1] = j;
            break;
        case RingLayout::Indexing::Triangles:
            q[0] = i; q[1] = k; q[2] = j;
            q[3] = k; q[4] = l; q[5] = j;
            break;
        case RingLayout::Indexing::Reversed:
            q[0] = i; q[1] = j; q[2] = k;
            q[3] = k; q[4] = j; q[5] = l;
            break;
        }
    }
    return ringIndexCount(layout);
}
