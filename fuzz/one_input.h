#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace colorsplit::fuzz {

// Feeds bytes to the program as a picture file: the open command, and when it loads, four
// picks, an execute, a mask and a save into `folder`. Refusals are expected; a crash, a hang,
// a leak or a sanitizer report is a finding. Returns whether the picture loaded.
bool RunOneInput(const std::uint8_t* data, std::size_t size, const std::string& folder);

}  // namespace colorsplit::fuzz
