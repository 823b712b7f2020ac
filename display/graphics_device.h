// Whether the machine has a graphics device behind its display. Without one, OpenGL is a software
// rasteriser, and the screen takes SDL's own software renderer instead (screen.cpp). One file per
// platform answers it.
#pragma once

namespace tavrik {

bool HasGraphicsDevice();

}  // namespace tavrik
