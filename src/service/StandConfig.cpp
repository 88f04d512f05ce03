#include "service/StandConfig.h"

#include "link/COM.h"
#include "link/StandProtocol.h"
#include "service/SerialNumber.h"
#include "store/Decimal.h"

namespace {

uint8_t LowByteOf(const QString& typed) { return static_cast<uint8_t>(LeadingInt(typed.toStdString()) & 0xFF); }

}  // namespace

QString StandNumberInitialText(uint8_t standNumber) { return QString::number(standNumber); }

std::optional<uint8_t> StandNumberFromText(const QString& typed)
{
    const uint8_t number = LowByteOf(typed);
    if (number == 0 || number == 255)
        return std::nullopt;
    return number;
}

StandNumberResult WriteStandNumber(StandLink& link, uint8_t number)
{
    if (!link.WriteEpromByte(StandNumberEpromAddress, number))
        return StandNumberResult::WriteFailed;
    if (!link.RestartStand())
        return StandNumberResult::RestartFailed;
    return StandNumberResult::Written;
}

QString StandNumberStatusText(StandNumberResult result)
{
    switch (result) {
    case StandNumberResult::Written:
        return QStringLiteral("Номера стенда записан...");
    case StandNumberResult::WriteFailed:
        return QStringLiteral("Ошибка записи номера стенда...");
    case StandNumberResult::RestartFailed:
        return QStringLiteral("Ошибка перезапуска стенда...");
    }
    return {};
}

bool ReadBoardVersion(StandLink& link, uint8_t& version)
{
    uint8_t block[32];
    if (!link.ReadEpromBlock(BoardVersionEpromAddress, block))
        return false;
    version = block[0];
    return true;
}

ServiceMessage BoardVersionReadFailedMessage()
{
    return ServiceMessage::Error(QStringLiteral("Не удаётся прочитать EPROM стенда..."));
}

QString BoardVersionInitialText(uint8_t version) { return QString::number(version); }

std::optional<uint8_t> BoardVersionFromText(const QString& typed)
{
    const uint8_t version = LowByteOf(typed);
    if (version == 0)
        return std::nullopt;
    return version;
}

ServiceMessage WriteBoardVersion(StandLink& link, uint8_t version)
{
    if (!link.WriteEpromByte(BoardVersionEpromAddress, version))
        return ServiceMessage::Error(QStringLiteral("Не удалось записать в EPROM..."));
    return ServiceMessage::Plain(QStringLiteral("Успешно"), QStringLiteral("Версия платы счётчика газа записана..."));
}

QString BoardInfoText(const uint8_t reply[10])
{
    if (reply[4] != 0x00 || reply[5] != 0x62 || reply[6] != 0x19 || reply[8] != 0x01)
        return QStringLiteral("Прочитано...Нет данных...");
    const uint16_t number = static_cast<uint16_t>(reply[1] | (reply[2] << 8));
    return QStringLiteral("Номер: ") + FormatSerialNumber(reply[3], number) +
           QStringLiteral(" задан на стенде номер ") + QString::number(reply[7]);
}

ServiceMessage BoardInfo(StandLink& link)
{
    if (!link.Channel().IsOpen())
        return ServiceMessage::None();
    uint8_t reply[10] = {};
    switch (link.QueryBoardInfo(reply)) {
    case BoardInfoResult::NoAnswer:
        return ServiceMessage::None();
    case BoardInfoResult::NotReady:
        return ServiceMessage::Plain(QStringLiteral("Внимание"), QStringLiteral("Переведите стенд в выбор режима и повторите..."));
    case BoardInfoResult::Ok:
        break;
    }
    return ServiceMessage::Plain(QStringLiteral("Информация"), BoardInfoText(reply));
}
