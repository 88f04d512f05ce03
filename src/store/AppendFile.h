#pragma once
#include "store/File.h"

// A file opened for writing at its end, exclusively, created when missing.
// A failed open is not reported here; the writes then fail.
class TAppendFile : public TFile {
public:
    explicit TAppendFile(const std::string& name);
};
