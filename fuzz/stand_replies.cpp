// libFuzzer target: the stand protocol replies.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return RunFuzzEntry(FuzzStandReplies, data, size);
}
