#pragma once
// One entry per fuzz target: runs an input through the code under test and
// checks what must hold for any input. The fuzzers and the corpus replay test
// both call these, so what is fuzzed is exactly what is replayed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// "" when every rule held, else the first rule broken.
using FuzzEntry = std::string (*)(const uint8_t* data, size_t size);

// The input is the HEX file's bytes.
std::string FuzzHexReader(const uint8_t* data, size_t size);
// The input is the settings file's bytes.
std::string FuzzIniLoader(const uint8_t* data, size_t size);
// The input is the journal file's bytes.
std::string FuzzJournalLoader(const uint8_t* data, size_t size);
// Byte 0 picks the operation (low 7 bits modulo 10) and, with its top bit, a
// closed channel; the operation's arguments follow, then the stand's reply.
std::string FuzzStandReplies(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;  // also the corpus folder's name
    FuzzEntry entry;
};

inline constexpr std::array<FuzzTarget, 4> kFuzzTargets{{
    {"hex_reader", FuzzHexReader},
    {"ini_loader", FuzzIniLoader},
    {"journal_loader", FuzzJournalLoader},
    {"stand_replies", FuzzStandReplies},
}};

// The body of LLVMFuzzerTestOneInput: a broken rule is a crash for the fuzzer.
int RunFuzzEntry(FuzzEntry entry, const uint8_t* data, size_t size);
