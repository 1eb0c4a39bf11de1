// The 3D effects' camera: init fills a Camera, start applies it.
#pragma once

#include "engine/DemoTypes.h"

// A fresh projection (gluPerspective at the display's aspect) and a fresh
// model-view (gluLookAt); the model-view matrix is current afterwards.
void applyCamera(const Camera& camera, float aspect);
