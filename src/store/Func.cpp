#include "store/Func.h"

std::string AppDataDir;
