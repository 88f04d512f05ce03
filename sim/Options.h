#pragma once
// The stand-sim command line.
#include "Faults.h"
#include "StandModel.h"

#include <string>
#include <vector>

namespace standsim {

struct Options {
    std::string link;
    ModelConfig model;
    bool standGiven = false; // --stand also overrides a stand number kept in --state-dir
    bool pace = false;
    FaultPlan faults;
    std::string stateDir;
};

enum class ParseResult { Run, Help, Error };

// args without the program name. On Error, err says why.
ParseResult ParseOptions(const std::vector<std::string>& args, Options& out, std::string* err);
std::string Usage();

} // namespace standsim
