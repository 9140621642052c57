// The table of the configuration's fields and how a value reads; the backup, the differences,
// show's tables, the editors' checks and the report are all made from it.
#include "records/config_fields.h"

#include <type_traits>

#include "editors/channel_form.h"
#include "editors/common_settings_form.h"
#include "editors/scene_form.h"

namespace kd215 {

namespace {

template <typename T>
struct MemberOf;
template <typename Record, typename Value>
struct MemberOf<Value Record::*> {
    using RecordType = Record;
    using ValueType = Value;
};
template <auto Member>
using RecordOf = typename MemberOf<decltype(Member)>::RecordType;
template <auto Member>
constexpr bool kPerChannel = std::is_same_v<typename MemberOf<decltype(Member)>::ValueType, std::array<uint8_t, kChannelCount>>;

// The record `at` names in `image` (const or not).
template <typename Record, typename Image>
auto& recordAt(Image& image, const FieldPlace& at) {
    if constexpr (std::is_same_v<Record, CommonSettings>) return image.common;
    if constexpr (std::is_same_v<Record, ChannelSettings>) return image.channels[at.item];
    if constexpr (std::is_same_v<Record, Scene>) return image.scenes[at.item];
    if constexpr (std::is_same_v<Record, ProgramStep>) return image.programs[at.item].steps[at.step];
    if constexpr (std::is_same_v<Record, Program>) return image.programs[at.item];
}

template <auto Member>
unsigned getValue(const ConfigImage& image, const FieldPlace& at) {
    const auto& value = recordAt<RecordOf<Member>>(image, at).*Member;
    if constexpr (kPerChannel<Member>) {
        return value[at.channel];
    } else {
        return value;
    }
}

template <auto Member>
void setValue(ConfigImage& image, const FieldPlace& at, unsigned value) {
    auto& field = recordAt<RecordOf<Member>>(image, at).*Member;
    if constexpr (kPerChannel<Member>) {
        field[at.channel] = static_cast<uint8_t>(value);
    } else {
        field = static_cast<std::remove_reference_t<decltype(field)>>(value);
    }
}

template <typename Record>
constexpr FieldRecord kRecordOf = std::is_same_v<Record, CommonSettings>    ? FieldRecord::Common
                                  : std::is_same_v<Record, ChannelSettings> ? FieldRecord::Channel
                                  : std::is_same_v<Record, Scene>           ? FieldRecord::Scene
                                  : std::is_same_v<Record, ProgramStep>     ? FieldRecord::Step
                                                                            : FieldRecord::Program;

struct FieldWords {
    const char* key;
    const char* label;
    const char* heading;
};

// A row of the table for the image's member `Member`.
template <auto Member>
constexpr ConfigField field(FieldWords words, unsigned max, ValueStyle style, int editorSlot = -1) {
    return {kRecordOf<RecordOf<Member>>, words.key, words.label, words.heading, nullptr, max, style,
            kPerChannel<Member>, true, editorSlot, getValue<Member>, setValue<Member>};
}

constexpr ConfigField reportWords(ConfigField row, const char* label) {
    row.reportLabel = label;
    return row;
}
constexpr ConfigField notBackedUp(ConfigField row) {
    row.inBackup = false;
    return row;
}

// Record by record in the backup's order. The ranges are what the controller's memory holds:
// bytes, 16-bit times, modes of four bits on the wire, the end step 0..15.
constexpr ConfigField kConfigFields[] = {
    field<&CommonSettings::operatingMode>({"operatingMode", "tryb pracy", "Tryb pracy"}, 15, ValueStyle::OperatingMode),
    // The report names the common input without its number.
    reportWords(field<&CommonSettings::commonInputMode>({"commonInputMode", "wejście wspólne (9)", "Wejście wspólne (9)"},
                                                        15, ValueStyle::InputMode),
                "wejście wspólne"),
    field<&CommonSettings::switchOnTime>({"switchOnTime", "czas załączania", "Czas załączania"}, 255, ValueStyle::Plain, 0),
    field<&CommonSettings::switchOffTime>({"switchOffTime", "czas wyłączania", "Czas wyłączania"}, 255, ValueStyle::Plain, 1),
    field<&ChannelSettings::minLevel>({"minLevel", "limit dolny", "Limit dolny"}, 255, ValueStyle::Level, kLowerValue),
    field<&ChannelSettings::maxLevel>({"maxLevel", "limit górny", "Limit górny"}, 255, ValueStyle::Level, kUpperValue),
    field<&ChannelSettings::riseTime>({"riseTime", "czas narastania", "Czas narastania"}, 65535, ValueStyle::Plain, kRiseValue),
    field<&ChannelSettings::duration>({"duration", "czas trwania", "Czas trwania"}, 65535, ValueStyle::Plain, kDurationValue),
    field<&ChannelSettings::fallTime>({"fallTime", "czas opadania", "Czas opadania"}, 65535, ValueStyle::Plain, kFallValue),
    // Raw, not yes or no: 1 and 255 both invert, but "tak (255)" shows that two files differ.
    field<&ChannelSettings::inputInverted>({"inputInverted", "inwersja wejścia", "Inwersja wejścia"}, 255, ValueStyle::Inverted),
    notBackedUp(field<&ChannelSettings::reserved>({"reserved", "bajt zarezerwowany", "Rezerwa"}, 255, ValueStyle::Plain)),
    field<&Scene::levels>({"levels", "", ""}, 255, ValueStyle::Level, 0),
    field<&Scene::riseTime>({"riseTime", "czas narastania", "Czas narastania"}, 65535, ValueStyle::Plain, kEntryRiseValue),
    field<&ProgramStep::levels>({"levels", "", ""}, 255, ValueStyle::Level, 0),
    field<&ProgramStep::riseTime>({"riseTime", "czas narastania", "Czas narastania"}, 65535, ValueStyle::Plain, kEntryRiseValue),
    field<&ProgramStep::duration>({"duration", "czas trwania", "Czas trwania"}, 65535, ValueStyle::Plain, kEntryDurationValue),
    field<&Program::endStep>({"endStep", "scena kończąca", "Scena kończąca"}, 15, ValueStyle::EndStep),
};

template <std::size_t N>
std::string captioned(unsigned value, const char* const (&captions)[N]) {
    return std::to_string(value) + " (" + (value < N ? captions[value] : "nieznany") + ")";
}

}  // namespace

std::vector<const ConfigField*> recordFields(FieldRecord record, bool withReserved) {
    std::vector<const ConfigField*> fields;
    for (const ConfigField& row : kConfigFields) {
        if (row.record == record && (row.inBackup || withReserved)) fields.push_back(&row);
    }
    return fields;
}

std::string keyLabel(const std::string& key) {
    for (const ConfigField& row : kConfigFields) {
        if (key == row.key) return row.label;
    }
    return "";
}

std::string formatValue(unsigned value, ValueStyle style) {
    switch (style) {
        case ValueStyle::Plain: return std::to_string(value);
        case ValueStyle::Level: return std::to_string(value) + " (" + std::to_string(levelToPercent(value)) + "%)";
        case ValueStyle::OperatingMode: return captioned(value, kOperatingModeCaptions);
        case ValueStyle::InputMode: return captioned(value, kCommonInputCaptions);
        // Any non-zero byte inverts; a value other than 1 is shown so that two of them differ.
        case ValueStyle::Inverted: return value == 0 ? "nie" : value == 1 ? "tak" : "tak (" + std::to_string(value) + ")";
        case ValueStyle::EndStep:
            // In words: the stored number counts from 0 and 15 means none, which no reader should decode.
            if (value == kNoEndStep) return "brak";
            if (value < kStepCount) return "scena " + std::to_string(value + 1);
            return "poza zakresem (" + std::to_string(value) + ")";
    }
    return std::to_string(value);
}

}  // namespace kd215
