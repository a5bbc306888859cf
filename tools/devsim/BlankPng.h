#pragma once

#include <vector>

namespace lm::sim {

// An all-black 8-bit grey PNG of width x height. It compresses a thousandfold, so a small file can
// claim a huge picture: 5700 x 5700 pixels take about 31 KB.
std::vector<unsigned char> blankPng(unsigned width, unsigned height);

}  // namespace lm::sim
