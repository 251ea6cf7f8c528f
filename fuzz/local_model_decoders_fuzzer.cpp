// The local model server's list of installed models, and the choice made from it.
#include "fuzz_support.h"
#include "ondevice/local_model/local_model_choice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ovra;
    if (const auto installed = LocalModelChoice::parseTags(fuzz::bytes(data, size)))
        (void)LocalModelChoice::choose(*installed);
    return 0;
}
