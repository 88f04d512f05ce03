#include "service/MemoryView.h"

#include "link/StandProtocol.h"
#include "store/Decimal.h"

namespace {

QString DumpLine(const QString& label, const uint8_t* bytes16)
{
    QString line = label + QStringLiteral(": ");
    for (int i = 0; i < 16; ++i)
        line += QStringLiteral("%1 ").arg(bytes16[i], 2, 16, QLatin1Char('0')).toUpper();
    return line;
}

}  // namespace

QString EpromDumpLine(uint8_t address, const uint8_t* bytes16)
{
    return DumpLine(QStringLiteral("%1").arg(address, 2, 16, QLatin1Char('0')).toUpper(), bytes16);
}

QString FlashDumpLine(uint16_t address, const uint8_t* bytes16)
{
    return DumpLine(QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper(), bytes16);
}

QStringList DumpEprom(StandLink& link)
{
    QStringList lines;
    for (int a = 0; a < 256; a += 32) {
        uint8_t block[32];
        if (!link.ReadEpromBlock(static_cast<uint8_t>(a), block))
            break;
        lines << EpromDumpLine(static_cast<uint8_t>(a), block) << EpromDumpLine(static_cast<uint8_t>(a + 16), block + 16);
    }
    return lines;
}

void FlashView::SetAddressText(const QString& typed)
{
    const int32_t value = LeadingInt(typed.toStdString());
    FlashViewAddress = value < 0 ? 0 : value;
}

bool FlashView::Next(StandLink& link, QStringList& lines)
{
    const uint16_t address = static_cast<uint16_t>(FlashViewAddress & 0xFFFF);
    uint8_t block[32];
    if (!link.ReadFlashBlock(address, block))
        return false;
    lines << FlashDumpLine(address, block) << FlashDumpLine(static_cast<uint16_t>(address + 16), block + 16);
    FlashViewAddress = (address + 32) & 0xFFFF;
    return true;
}
