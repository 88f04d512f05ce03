// libFuzzer target: the HEX reader.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return RunFuzzEntry(FuzzHexReader, data, size);
}
