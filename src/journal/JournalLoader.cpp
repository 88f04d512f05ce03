#include "journal/JournalLoader.h"

#include "journal/JournalGrid.h"
#include "platform/Text.h"
#include "store/File.h"

#include <filesystem>

int ParseJournalLine(const char* line, std::array<QString, 7>& fields)
{
    for (QString& f : fields)
        f.clear();
    // Field bounds first, then one conversion of the text they span: a
    // Windows-1251 byte is one character, so the bounds carry over.
    std::array<std::pair<int, int>, 7> bounds{};
    int taken = 0;
    int start = 0;
    while (taken < static_cast<int>(fields.size())) {
        int p = start;
        while (line[p] != '\0' && line[p] != '\r' && line[p] != ';')
            ++p;
        if (line[p] != ';')
            break;
        bounds[taken++] = {start, p};
        start = p + 1;
    }
    if (taken == 0)
        return 0;
    const QString text = FromCp1251(std::string(line, static_cast<size_t>(bounds[taken - 1].second)));
    for (int i = 0; i < taken; ++i)
        fields[i] = text.mid(bounds[i].first, bounds[i].second - bounds[i].first);
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
