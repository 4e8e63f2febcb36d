#pragma once

#include <QString>

namespace colorsplit {

// Why a file could not be read or written, in the user's words: the one table of causes for
// every errno the program reports.
QString SystemCause(int code);

}  // namespace colorsplit
