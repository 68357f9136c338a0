#pragma once
// Writing the 32-bit picture of a modern stage: PNG (8 bits a channel) and PCX as 24-bit colour
// (three planes a row, the PCX layout for true colour). Files are replaced in one step.
#include <cstdint>
#include <string>

#include "platform/picture32.h"

namespace qb {

bool SavePicture32Png(const std::string& path, const Picture32& picture, std::string& error);
bool SavePicture32Pcx(const std::string& path, const Picture32& picture, std::string& error);
// The PCX bytes themselves (header, then per row the red, green and blue planes run-length coded).
std::string EncodePicture32Pcx(const Picture32& picture);

}  // namespace qb
