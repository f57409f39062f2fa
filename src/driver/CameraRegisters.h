// The simulated camera's register map: the numbers the firmware gives meaning
// to, and the values they hold at power-on.
#pragma once

#include <cstdint>

namespace calidra::sim {

constexpr int kRegisterCount = 256;

constexpr int kRegStatus = 7;            // read-only; bit 2 is the trigger input
constexpr int kRegTransferFormat = 14;   // 9: 16-bit pixels, 8: 8-bit pixels
constexpr int kRegLevelLow = 40;         // 12-bit sensor level setting, bits 0-7
constexpr int kRegLevelHigh = 41;        // bits 8-11
constexpr int kRegTemperatureLow = 44;   // read-only internal temperature reading
constexpr int kRegTemperatureHigh = 45;  //
constexpr int kRegShutter = 80;          // pulses: 32 then 0 closes, 16 then 0 opens

constexpr std::uint8_t kShutterClosePulse = 32;
constexpr std::uint8_t kShutterOpenPulse = 16;
constexpr std::uint8_t kFormat8Bit = 8;

// Sensor level setting at which a closed shutter reads kNominalLevel; each step
// above it lowers the level by kLevelPerStep, each step below raises it.
constexpr int kNominalLevelSetting = 2098;
constexpr int kNominalLevel = 6000;
constexpr int kLevelPerStep = 4;

struct RegisterDefault {
    int reg;
    std::uint8_t value;
};

// Power-on contents; every register not listed reads 0. The transfer length
// (0-3) and window (16-19) describe the full 640 x 480 frame.
constexpr RegisterDefault kRegisterDefaults[] = {
    {0, 0x00},  {1, 0xB0},  {2, 0x04},  {3, 0x00},  {14, 9},    {16, 0},    {17, 0},    {18, 64},
    {19, 239},  {40, 0x32}, {41, 0x08}, {42, 0x11}, {43, 0x04}, {48, 0x0E}, {49, 0x7C}, {50, 0x82},
    {64, 0x7C}, {65, 0x06}, {66, 0x83}, {67, 0x0D}, {68, 0xAC}, {69, 0x08}, {70, 0x26}, {71, 0x0B},
};

}  // namespace calidra::sim
