// Pictures for the windows: JPEG through libjpeg, BMP through the platform, the built-in artwork
// from the program's resources, and the background gradient.
#pragma once

#include "ui/control.h"

#include <cstddef>
#include <memory>
#include <string>

namespace tarnwick {

// nullptr for anything that is not a complete, decodable JPEG of a sane size.
std::unique_ptr<ui::TPicture> decodeJpeg(const unsigned char* data, std::size_t size);

// A JPEG or BMP file, told apart by its first bytes; nullptr when it cannot be read.
std::unique_ptr<ui::TPicture> loadPictureFile(const std::string& path);

// A JPEG stored as an RCDATA resource of the program.
std::unique_ptr<ui::TPicture> loadPictureResource(int id);

// One pixel wide, 512 high: the background window's gradient (backgroundGradient).
std::unique_ptr<ui::TPicture> makeGradientPicture();

} // namespace tarnwick
