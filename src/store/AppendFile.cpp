#include "store/AppendFile.h"

TAppendFile::TAppendFile(const std::string& name)
{
    if (Open(name, TFileAccess::Write, TFileShare::None, TFileCreate::OpenAlways))
        Seek(0, TFileOrigin::End);
}
