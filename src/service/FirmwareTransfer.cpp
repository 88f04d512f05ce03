#include "service/FirmwareTransfer.h"

#include "link/StandProtocol.h"

#include <cstring>

namespace {

bool LengthIsValid(int length) { return length >= 1 && length <= MaxFirmwareLength; }

}  // namespace

UploadResult UploadFirmware(StandLink& link, const FirmwareImage& firmware, int length, const TransferProgress& progress)
{
    if (!LengthIsValid(length))
        return UploadResult::EpromWriteFailed;
    for (int n = 0; n < 16; ++n)
        if (!link.WriteEpromByte(static_cast<uint8_t>(FusesEpromAddress + n), firmware.fuses[n]))
            return UploadResult::EpromWriteFailed;
    if (!link.WriteEpromByte(LengthEpromAddress, static_cast<uint8_t>(length % 256)) ||
        !link.WriteEpromByte(LengthEpromAddress + 1, static_cast<uint8_t>(length / 256)))
        return UploadResult::EpromWriteFailed;
    if (progress.started)
        progress.started(length);
    // The last block goes whole: the 0xFF after the length is part of what the stand holds.
    for (int offset = 0; offset < length; offset += FlashBlockSize) {
        if (!link.WriteFlashBlock(static_cast<uint16_t>(FirmwareFlashAddress + offset), firmware.image + offset))
            return UploadResult::FlashWriteFailed;
        if (progress.blockDone)
            progress.blockDone(offset);
    }
    return UploadResult::Ok;
}

CompareResult CompareFirmware(StandLink& link, const FirmwareImage& firmware, int length, const TransferProgress& progress)
{
    if (!LengthIsValid(length))
        return CompareResult::EpromReadFailed;
    uint8_t eprom[32];
    if (!link.ReadEpromBlock(FusesEpromAddress, eprom))
        return CompareResult::EpromReadFailed;
    if (std::memcmp(eprom, firmware.fuses, 16) != 0)
        return CompareResult::FusesDiffer;
    if (eprom[16] != length % 256 || eprom[17] != length / 256)
        return CompareResult::LengthDiffers;
    if (progress.started)
        progress.started(length);
    for (int offset = 0; offset < length; offset += FlashBlockSize) {
        uint8_t block[32];
        if (!link.ReadFlashBlock(static_cast<uint16_t>(FirmwareFlashAddress + offset), block))
            return CompareResult::FlashReadFailed;
        if (std::memcmp(block, firmware.image + offset, FlashBlockSize) != 0)
            return CompareResult::FlashDiffers;
        if (progress.blockDone)
            progress.blockDone(offset);
    }
    return CompareResult::Match;
}

bool IsSuccess(UploadResult result) { return result == UploadResult::Ok; }
bool IsSuccess(CompareResult result) { return result == CompareResult::Match; }

QString ResultText(UploadResult result)
{
    switch (result) {
    case UploadResult::Ok:
        return QStringLiteral("Успешно записано...");
    case UploadResult::EpromWriteFailed:
        return QStringLiteral("Не удалось записать в EPROM...");
    case UploadResult::FlashWriteFailed:
        return QStringLiteral("Ошибка записи во FLASH...");
    }
    return {};
}

QString ResultText(CompareResult result)
{
    switch (result) {
    case CompareResult::Match:
        return QStringLiteral("Файл совпал с прошивкой...");
    case CompareResult::EpromReadFailed:
        return QStringLiteral("Не удаётся прочитать EPROM стенда...");
    case CompareResult::FusesDiffer:
        return QStringLiteral("Несовпадение в области FUSES...");
    case CompareResult::LengthDiffers:
        return QStringLiteral("Несовпадение длины прошивки...");
    case CompareResult::FlashReadFailed:
        return QStringLiteral("Не удалось прочитать прошивку...");
    case CompareResult::FlashDiffers:
        return QStringLiteral("Несовпадение прошивки...");
    }
    return {};
}
