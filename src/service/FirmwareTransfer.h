#pragma once
// Writing the firmware into the stand and checking the stand against a file:
// the exchanges after the file has been loaded.
#include "service/FirmwareImage.h"

#include <QString>
#include <functional>

class StandLink;

// Stand EPROM and FLASH places of the firmware.
constexpr uint8_t FusesEpromAddress = 0x80;
constexpr uint8_t LengthEpromAddress = 0x90;
constexpr uint16_t FirmwareFlashAddress = 0x8000;
constexpr int FlashBlockSize = 32;

struct TransferProgress {
    // Once, right before the first FLASH block: show PanelProgress with
    // maximum = length, position 0, and let it paint.
    std::function<void(int length)> started;
    // After each block done, with the block's offset: move ProgressBar1.
    std::function<void(int offset)> blockDone;
};

enum class UploadResult { Ok, EpromWriteFailed, FlashWriteFailed };
enum class CompareResult { Match, EpromReadFailed, FusesDiffer, LengthDiffers, FlashReadFailed, FlashDiffers };

// length: what LoadFirmwareFile gave, 1..32768. Anything else is refused
// before any exchange (as EpromWriteFailed / EpromReadFailed).
// On return the window hides PanelProgress (whether or not it was shown).
UploadResult UploadFirmware(StandLink& link, const FirmwareImage& firmware, int length,
                            const TransferProgress& progress = {});
CompareResult CompareFirmware(StandLink& link, const FirmwareImage& firmware, int length,
                              const TransferProgress& progress = {});

// Success: status panel 2 text ("Успешно записано...", "Файл совпал с прошивкой...")
// and no box. Failure: an error box (caption "Ошибка", stop icon) and status panel 2 stays empty.
bool IsSuccess(UploadResult result);
bool IsSuccess(CompareResult result);
QString ResultText(UploadResult result);
QString ResultText(CompareResult result);
