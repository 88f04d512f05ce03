// libFuzzer target: the journal file loader.
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return RunFuzzEntry(FuzzJournalLoader, data, size);
}
