#pragma once
// Hexadecimal dumps of the stand's EPROM and FLASH for ListBox1.
#include <QString>
#include <QStringList>
#include <cstdint>

class StandLink;

// "00: FF FF ... FF " : 2-digit address, ": ", 16 bytes each followed by a space.
QString EpromDumpLine(uint8_t address, const uint8_t* bytes16);
// "8000: FF ... FF " : the same with a 4-digit address.
QString FlashDumpLine(uint16_t address, const uint8_t* bytes16);

// F6: the window shows ListBox1 and clears it, then adds these lines: two per
// 32-byte block from 00h to E0h, up to the first block the stand did not give.
QStringList DumpEprom(StandLink& link);

// F7 and F8, with the address of the next block to show.
class FlashView {
public:
    // Signed like the field it stands for; always 0..FFFFh after a step.
    int32_t FlashViewAddress = 0;

    // Initial text of the input box (caption "FLASH", prompt "Задайте адрес").
    QString AddressText() const { return QString::number(FlashViewAddress); }
    // The operator's text, read as a decimal integer; negative is taken as 0.
    void SetAddressText(const QString& typed);

    // One block: appends its two lines and moves on 32 bytes, true; or false
    // with nothing added and the address unchanged. The stand's addresses are
    // 16 bits, so the view wraps at 10000h: its labels are always the address
    // the stand was asked for. After a success the window shows ListBox1.
    bool Next(StandLink& link, QStringList& lines);
};
