// Linux: a graphics device shows itself as a DRM node, or as the NVIDIA driver's own node.
#include <filesystem>
#include <system_error>

#include "display/graphics_device.h"

namespace tavrik {

bool HasGraphicsDevice() {
  std::error_code ec;
  return std::filesystem::exists("/dev/dri", ec) || std::filesystem::exists("/dev/nvidia0", ec);
}

}  // namespace tavrik
