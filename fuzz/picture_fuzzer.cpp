// libFuzzer entry: arbitrary bytes through the picture layer and the commands.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fuzz/one_input.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr ? base : "/tmp") + "/colorsplit-fuzz-XXXXXX";
        return std::string(mkdtemp(pattern.data()));
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    colorsplit::fuzz::RunOneInput(data, size, Folder());
    return 0;
}
