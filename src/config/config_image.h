// The PC's copy of the controller's configuration: records, enumerations, defaults and the area table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kd215 {

constexpr int kChannelCount = 8;
constexpr int kSceneCount = 8;
constexpr int kProgramCount = 2;
constexpr int kStepCount = 14;
// endStep value of a program with no step marked "Scena kończąca".
constexpr uint8_t kNoEndStep = 15;

struct Scene {
    std::array<uint8_t, kChannelCount> levels{};  // 0..255, shown in percent
    uint16_t riseTime = 0;
};

struct ProgramStep {
    std::array<uint8_t, kChannelCount> levels{};
    uint16_t riseTime = 0;
    uint16_t duration = 0;
};

struct Program {
    std::array<ProgramStep, kStepCount> steps{};
    uint8_t endStep = 0;  // 0-based index of the last step, or kNoEndStep
};

struct ChannelSettings {
    uint8_t minLevel = 0;
    uint8_t maxLevel = 0;
    uint16_t riseTime = 0;
    uint16_t duration = 0;
    uint16_t fallTime = 0;
    uint8_t inputInverted = 0;  // 0 normal; any other value inverted (editors write 255, a read writes 1)
    uint8_t reserved = 0;       // carried through the settings file, never sent to the controller
};

struct CommonSettings {
    uint8_t operatingMode = 0;    // OperatingMode; other values are held as they came
    uint8_t commonInputMode = 0;  // CommonInputMode; other values are held as they came
    uint8_t switchOnTime = 0;
    uint8_t switchOffTime = 0;
};

struct ConfigImage {
    std::array<Scene, kSceneCount> scenes{};
    std::array<Program, kProgramCount> programs{};
    std::array<ChannelSettings, kChannelCount> channels{};
    CommonSettings common{};
};

enum class ConfigArea : int32_t {
    Settings = 0,
    Scenes = 1,
    Program1 = 2,
    Program2 = 3,
    Version = 4,
    Restart = 5,
    NoArea = 6,
};

enum class TransferAction : int32_t {
    WriteController = 0,
    ReadController = 1,
    Verify = 2,
    ReadFromFile = 3,
    WriteToFile = 4,
    NoAction = 5,
};

enum class OperatingMode : uint8_t {
    Manual1Channel = 0,
    Manual2Channel = 1,
    Automatic = 2,
    SemiAutomatic = 3,
    SceneMode = 4,
    Program1Mode = 5,
    Program2Mode = 6,
};

enum class CommonInputMode : uint8_t {
    Normal = 0,
    Inverted = 1,
    AlwaysOn = 2,
};

// One row per data area: where the area lives in the controller's memory and how it is named.
struct AreaBlock {
    ConfigArea area;
    uint16_t address;           // base address in the controller's memory
    uint8_t length;             // payload bytes on the wire
    const char* statusLabel;    // status-bar part 1 while the area moves
    const char* fileExtension;  // of the area's file
    std::size_t fileSize;       // bytes in the area's file
    int fileSteps;              // program steps the area's file holds (no end step); 0 for no program
};

constexpr int kDataAreaCount = 4;
extern const std::array<AreaBlock, kDataAreaCount> kAreaBlocks;

bool isDataArea(ConfigArea area);
// The table row of a data area; only valid when isDataArea(area).
const AreaBlock& areaBlock(ConfigArea area);
// Steps a program file holds: the first 12 of the 14, and no end step.
int programFileSteps();
// What separates folders in a file name here: a backslash is a letter of a Linux file name.
#ifdef _WIN32
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif
// The extension of a file name, lower-cased, without its dot ("site/Hall.PG2" -> "pg2"); "" when
// the last part of the name has no dot.
std::string lowerFileExtension(const std::string& path);
// The data area whose file a name is, by its extension in any case ("hall.PG2" -> Program2):
// a program file says which program it holds only by its name. NoArea for any other name.
ConfigArea areaOfFileName(const std::string& path);
// The area that "&Wszystko" moves to after `area`; NoArea after Program2.
ConfigArea nextChainArea(ConfigArea area);
// Status-bar text for part 1, "" for NoArea and out-of-range values.
const char* areaLabel(ConfigArea area);
// Status-bar text for part 2 while a transfer runs; "\tN/A" for NoAction and out-of-range values.
const char* actionLabel(TransferAction action);

// The image as the program holds it at start-up, before anything is read.
ConfigImage defaultConfigImage();

// Percent shown in the editors for a stored level; truncates (255 -> 100, 254 -> 99).
unsigned levelToPercent(unsigned level);
// Level stored for a percent; truncates and keeps the low 8 bits as the controller's byte does.
uint8_t percentToLevel(unsigned percent);

}  // namespace kd215
