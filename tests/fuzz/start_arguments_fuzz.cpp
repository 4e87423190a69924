// The command line the program is started with, as "Open with", "Send to"
// or a user types it, and the path a second start hands over in its
// message: the picture to open comes from both.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/StartArguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> arguments = quorvel::SplitCommandLine(commandLine);
    const std::string picture = quorvel::PictureFromCommandLine(commandLine);
    // The picture is one of the arguments after the program's own path.
    if (!picture.empty()) {
        bool found = false;
        for (std::size_t i = 1; i < arguments.size() && !found; ++i) found = arguments[i] == picture;
        if (!found) std::abort();
    }
    const std::string handed = quorvel::PathFromCopyData(data, size);
    if (handed.size() > quorvel::kMaxHandedPath || handed.find('\0') != std::string::npos) std::abort();
    return 0;
}
