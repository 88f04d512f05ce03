#pragma once
// Program-wide folder of the settings and the journal, ending in '/'.
// Set once at start (--data-dir first), unchanged afterwards.
#include <string>

extern std::string AppDataDir;
