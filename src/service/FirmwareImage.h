#pragma once
// The firmware in memory and the Microchip Intel HEX reader that fills it.
#include <QString>
#include <cstdint>
#include <string>

struct FirmwareImage {
    uint8_t image[65536];  // byte n: the file's byte at address n under extended linear address 0
    uint8_t fuses[16];     // byte n: the file's byte at 300000h + n (n = 0..13 only)
};

// The stand keeps the image at its FLASH 8000h..FFFFh.
constexpr int MaxFirmwareLength = 32768;

// Every byte of both blocks to 0xFF, as before each load.
void ClearFirmwareImage(FirmwareImage& firmware);

// Reads a HEX file into the blocks (never clears them). Returns 0 when the
// file cannot be read, otherwise the image length: highest image address + 1,
// at least 1. Bytes that run past FFFFh are dropped but their addresses still
// count, so such a file comes back longer than the stand can hold.
int ReadHexFile(uint8_t* image, uint8_t* fuses, const std::string& path);

// What LoadFirmwareFile makes of a file, after the operator has chosen it.
enum class LoadVerdict { Ok, Unreadable, TooLong };

LoadVerdict JudgeFirmwareLength(int length);

// Clears the image, reads the file and judges it; length is the image length
// (1..32768) when the verdict is Ok, 0 otherwise.
LoadVerdict LoadFirmwareFile(FirmwareImage& firmware, const std::string& path, int& length);

// The error box text for a refused file ("" for Ok); caption "Ошибка", stop icon.
QString LoadVerdictText(LoadVerdict verdict);
