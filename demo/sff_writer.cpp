#include "demo/sff_writer.h"

namespace qb::demo {

std::string EncodePcx(const Picture&, const Palette&, bool) { return {}; }
std::string WriteSff(const std::vector<SffSprite>&) { return {}; }

}  // namespace qb::demo
