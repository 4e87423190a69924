// "email.dat" as another program or a damaged disk may have left it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/MailAddressFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string address = quorvel::ParseMailAddressFile(reinterpret_cast<const char*>(data), size);
    if (address.size() > quorvel::kMaxMailAddressLength) std::abort();
    // One word: no white space and no zero byte inside.
    if (address.find_first_of(std::string(" \t\r\n\v\f\0", 7)) != std::string::npos) std::abort();
    return 0;
}
