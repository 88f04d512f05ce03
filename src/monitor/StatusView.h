#pragma once
// What one accepted status reply means for the display and the journal.
// Pure functions of a StandStatus, so a table of cases can pin them down.
#include "link/StandProtocol.h"
#include "platform/Colors.h"

#include <QColor>
#include <QString>
#include <array>
#include <optional>
#include <vector>


constexpr uint8_t kStateTestMode = 100;
constexpr uint8_t kStateIdle = 255;

// Text for LabelState; none for codes the display does not know (keep the old text).
std::optional<QString> StateText(uint8_t state);
// Text for LabelStage; none for stages above 19.
std::optional<QString> StageText(uint8_t stage);

struct LampSpec {
    int shape;        // 1..14, Shape<n>
    QString caption;
    int checksByte;   // 1 = Checks1, 2 = Checks2
    uint8_t mask;
};
// In display order: the left column top-down, then the right column top-down.
const std::array<LampSpec, 14>& LampLayout();
// Colours of Shape1..Shape14 (index 0 is Shape1) for a test-mode reply.
std::array<QColor, 14> LampColors(const StandStatus& status);

struct CurrentView {
    QString value;
    QString unit;
    QColor colour;
};
CurrentView CurrentDisplay(const StandStatus& status);

// ButtonWriteSN may be pressed only on an idle stand whose firmware can write serial numbers.
bool WriteSerialEnabled(bool firmwareCommandRunning, const StandStatus& last, const StandInfo& info);

struct EventEntry {
    QString action;
    QString result;
};
// Journal entries of one reply's Events, in the order bit 0, bit 1, bit 3.
std::vector<EventEntry> EventEntries(const StandStatus& status);
inline bool TestPassed(const StandStatus& status) { return status.Events & 0x08; }
