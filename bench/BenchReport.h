// The two line kinds every benchmark prints, read by people and scripts:
//   figure NAME VALUE UNIT   an absolute measurement
//   ratio NAME VALUE         ours divided by the peer's (below 1.0 is faster)
#pragma once

#include <cstdio>
#include <string>

namespace bench {

inline void figure(const std::string& name, double value, const std::string& unit) {
  std::printf("figure %s %.6g %s\n", name.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

inline void ratio(const std::string& name, double value) {
  std::printf("ratio %s %.4f\n", name.c_str(), value);
  std::fflush(stdout);
}

}  // namespace bench
