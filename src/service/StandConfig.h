#pragma once
// Stand number, board version and board information.
#include "service/ServiceMessage.h"

#include <QString>
#include <cstdint>
#include <optional>

class StandLink;

constexpr uint8_t StandNumberEpromAddress = 0x10;
constexpr uint8_t BoardVersionEpromAddress = 0x9E;

// --- Stand number (mStendNumClick) ---
// Input box: caption "Номер стенда", prompt "Задайте номер стенда 1..254",
// initial text StandNumberInitialText(StandNumber of StandInfo).
QString StandNumberInitialText(uint8_t standNumber);
// The typed text's low 8 bits; nothing (ignore silently) for 0 and 255.
std::optional<uint8_t> StandNumberFromText(const QString& typed);

enum class StandNumberResult { Written, WriteFailed, RestartFailed };
// Writes EPROM 10h, then restarts the stand.
StandNumberResult WriteStandNumber(StandLink& link, uint8_t number);
// Status panel 2 text; no box.
QString StandNumberStatusText(StandNumberResult result);
// Only after Written: StandInfoKnown = false, so the poll asks for the identity again.
inline bool ClearsStandInfoKnown(StandNumberResult result) { return result == StandNumberResult::Written; }

// --- Board version (mPlataversionClick) ---
// Reads EPROM 9Eh. On false the window shows BoardVersionReadFailedMessage() and stops.
bool ReadBoardVersion(StandLink& link, uint8_t& version);
ServiceMessage BoardVersionReadFailedMessage();
// Input box: caption "Задайте", prompt "Версия платы счётчика газа...", initial text the version in decimal.
QString BoardVersionInitialText(uint8_t version);
// The typed text's low 8 bits; nothing (ignore silently) for 0.
std::optional<uint8_t> BoardVersionFromText(const QString& typed);
// Writes EPROM 9Eh; the message to show either way (no restart).
ServiceMessage WriteBoardVersion(StandLink& link, uint8_t version);

// --- Board information (mIDClick) ---
// Nothing to show (port closed, no valid answer), the "Внимание" notice for a stand
// not in mode selection, or the "Информация" notice with the board's record.
ServiceMessage BoardInfo(StandLink& link);
// The text for a valid 10-byte reply.
QString BoardInfoText(const uint8_t reply[10]);
