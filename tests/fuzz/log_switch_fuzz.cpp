// The log switch over whatever command line the program is started with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/LogFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    const bool on = quorvel::IsLoggingOn(commandLine);
    // On means the quote-free text ends in the word "log" standing alone.
    std::string bare;
    for (char c : commandLine)
        if (c != '"') bare.push_back(c);
    const bool endsInWord = bare == "log" || (bare.size() > 3 && bare.compare(bare.size() - 4, 4, " log") == 0);
    if (on != endsInWord) std::abort();
    (void)quorvel::LogTextEntry(commandLine);
    return 0;
}
