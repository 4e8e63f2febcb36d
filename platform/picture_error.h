#pragma once

#include <stdexcept>
#include <string>

namespace colorsplit {

// The one exception type for failures of the platform: a file that cannot be read, is not a
// picture, is too large, or cannot be written. The message names the file and the cause and
// is meant to be shown to the user as it stands.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace colorsplit
