#include "journal/JournalLoader.h"

#include "journal/JournalGrid.h"
#include "platform/Text.h"
#include "store/File.h"

#include <filesystem>

int ParseJournalLine(const char* line, std::array<QString, 7>& fields)
{
    for (QString& f : fields)
        f.clear();
    int taken = 0;
    const char* start = line;
    while (taken < static_cast<int>(fields.size())) {
        const char* p = start;
        while (*p != '\0' && *p != '\r' && *p != ';')
            ++p;
        if (*p != ';')
            break;
        fields[taken++] = FromCp1251(std::string(start, p));
        start = p + 1;
    }
    return taken;
}

bool LoadJournalFile(const std::string& path, JournalGrid& grid)
{
    // Only a plain file counts as openable: a folder, a device or a pipe
    // would read as garbage, endlessly, or block the window.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    TFile file(path, TFileAccess::Read, TFileShare::None, TFileCreate::OpenExisting);
    if (!file.IsOpen())
        return false;
    // Built aside and handed over at once: one view update for any length.
    JournalGrid loaded;
    char buffer[kJournalLineBuffer];
    std::array<QString, 7> fields;
    while (file.ReadLine(buffer, sizeof buffer)) {
        const int row = loaded.AppendJournalRow();
        const int n = ParseJournalLine(buffer, fields);
        for (int i = 0; i < n; ++i)
            loaded.SetCell(row, i + 1, fields[i]);
    }
    file.Close();
    grid.TakeRows(loaded);
    return true;
}
