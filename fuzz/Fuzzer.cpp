// One libFuzzer harness; QUORVANE_FUZZ_TARGET names the target of FuzzTargets.h it feeds.

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorvane::fuzz::QUORVANE_FUZZ_TARGET(data, size);
    return 0;
}
