#pragma once
// Reading a journal file back into the journal grid.
#include <QString>
#include <array>
#include <string>

class JournalGrid;

inline constexpr unsigned kJournalLineBuffer = 256;  // ReadLine's buffer: 255 bytes a line

// The fields of one line read (zero-terminated Windows-1251 bytes): each is the
// text before the next ";", the search ending at a CR or the end of the text;
// at most seven. Returns how many were taken; the rest of `fields` is emptied.
int ParseJournalLine(const char* line, std::array<QString, 7>& fields);

// Opens an existing file with no sharing; when that fails the grid is left as
// it is and the result is false. Otherwise the grid becomes the header, then
// one numbered row per line read (blank and malformed lines included), or the
// empty row 1 for an empty file.
bool LoadJournalFile(const std::string& path, JournalGrid& grid);
