// libFuzzer target: the settings file loader.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return RunFuzzEntry(FuzzIniLoader, data, size);
}
