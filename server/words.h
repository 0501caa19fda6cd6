// Comparing SQL words and names as SQL does: blind to ASCII case. Bytes past
// ASCII compare as they are, so UTF-8 names match only when spelt alike.
//
// Free functions without state; any thread.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace orv::server {

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace orv::server
