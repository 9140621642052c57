// Writing and checking the backup text; every fault on load names the field it found it in.
#include "backup_file.h"

#include <functional>

#include "json.h"

namespace kd215 {

const char* const kBackupFormatName = "kd215-backup";

namespace {

std::string levelsJson(const std::array<uint8_t, kChannelCount>& levels) {
    std::string out = "[";
    for (int c = 0; c < kChannelCount; ++c) out += (c ? ", " : "") + std::to_string(levels[c]);
    return out + "]";
}

std::string field(const char* name, unsigned value) {
    return std::string("\"") + name + "\": " + std::to_string(value);
}

// Checks and reads one value; the first fault is kept and later reads do nothing.
class Reader {
public:
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    void fail(const std::string& text) {
        if (error_.empty()) error_ = text;
    }

    const JsonValue* member(const JsonValue& object, const std::string& path, const char* name) {
        if (failed()) return nullptr;
        const JsonValue* value = object.find(name);
        if (value == nullptr) fail("brak pola " + join(path, name));
        return value;
    }

    const JsonValue* objectMember(const JsonValue& object, const std::string& path, const char* name) {
        const JsonValue* value = member(object, path, name);
        if (value != nullptr && value->type != JsonValue::Type::Object) {
            typeFault(*value, join(path, name), "obiekt");
            return nullptr;
        }
        return value;
    }

    // An array of exactly `count` elements.
    const JsonValue* arrayMember(const JsonValue& object, const std::string& path, const char* name,
                                 std::size_t count) {
        const JsonValue* value = member(object, path, name);
        if (value == nullptr) return nullptr;
        const std::string where = join(path, name);
        if (value->type != JsonValue::Type::Array) {
            typeFault(*value, where, "tablica");
            return nullptr;
        }
        if (value->items.size() != count) {
            fail("pole " + where + " " + position(*value) + ": oczekiwano " + std::to_string(count) +
                 " elementów, jest " + std::to_string(value->items.size()));
            return nullptr;
        }
        return value;
    }

    // An integer within [low, high].
    unsigned integer(const JsonValue& value, const std::string& where, unsigned low, unsigned high) {
        if (failed()) return 0;
        if (value.type != JsonValue::Type::Number) {
            typeFault(value, where, "liczba całkowita");
            return 0;
        }
        const std::string range = " poza zakresem " + std::to_string(low) + ".." + std::to_string(high);
        if (!value.integerSyntax) {
            fail("pole " + where + " " + position(value) + ": oczekiwano liczby całkowitej, jest " + value.text);
            return 0;
        }
        if (!value.integral) {  // more digits than any integer here could have
            fail("pole " + where + " " + position(value) + ": wartość " + value.text + range);
            return 0;
        }
        if (value.integer < static_cast<int64_t>(low) || value.integer > static_cast<int64_t>(high)) {
            fail("pole " + where + " " + position(value) + ": wartość " + std::to_string(value.integer) + range);
            return 0;
        }
        return static_cast<unsigned>(value.integer);
    }

    unsigned integerMember(const JsonValue& object, const std::string& path, const char* name,
                           unsigned low, unsigned high) {
        const JsonValue* value = member(object, path, name);
        return value == nullptr ? 0 : integer(*value, join(path, name), low, high);
    }

    void levels(const JsonValue& object, const std::string& path, std::array<uint8_t, kChannelCount>& out) {
        const JsonValue* array = arrayMember(object, path, "levels", kChannelCount);
        if (array == nullptr) return;
        for (int c = 0; c < kChannelCount; ++c) {
            out[c] = static_cast<uint8_t>(
                integer(array->items[c], join(path, "levels") + "[" + std::to_string(c) + "]", 0, 255));
        }
    }

    static std::string join(const std::string& path, const char* name) {
        return path.empty() ? name : path + "." + name;
    }
    static std::string index(const std::string& path, std::size_t i) {
        return path + "[" + std::to_string(i) + "]";
    }
    static std::string position(const JsonValue& value) {
        return "(wiersz " + std::to_string(value.line) + ")";
    }

private:
    void typeFault(const JsonValue& value, const std::string& where, const char* expected) {
        fail("pole " + where + " " + position(value) + ": oczekiwano: " + expected + ", jest: " +
             jsonTypeName(value.type));
    }

    std::string error_;
};

void readSettings(Reader& r, const JsonValue& root, ConfigImage& image) {
    const JsonValue* settings = r.objectMember(root, "", "settings");
    if (settings == nullptr) return;
    CommonSettings& common = image.common;
    common.operatingMode = static_cast<uint8_t>(r.integerMember(*settings, "settings", "operatingMode", 0, 15));
    common.commonInputMode = static_cast<uint8_t>(r.integerMember(*settings, "settings", "commonInputMode", 0, 15));
    common.switchOnTime = static_cast<uint8_t>(r.integerMember(*settings, "settings", "switchOnTime", 0, 255));
    common.switchOffTime = static_cast<uint8_t>(r.integerMember(*settings, "settings", "switchOffTime", 0, 255));
    const JsonValue* channels = r.arrayMember(*settings, "settings", "channels", kChannelCount);
    if (channels == nullptr) return;
    for (int i = 0; i < kChannelCount; ++i) {
        const std::string path = Reader::index("settings.channels", i);
        const JsonValue& item = channels->items[i];
        if (item.type != JsonValue::Type::Object) {
            r.fail("pole " + path + " " + Reader::position(item) + ": oczekiwano: obiekt, jest: " +
                   jsonTypeName(item.type));
            return;
        }
        ChannelSettings& c = image.channels[i];
        c.minLevel = static_cast<uint8_t>(r.integerMember(item, path, "minLevel", 0, 255));
        c.maxLevel = static_cast<uint8_t>(r.integerMember(item, path, "maxLevel", 0, 255));
        c.riseTime = static_cast<uint16_t>(r.integerMember(item, path, "riseTime", 0, 65535));
        c.duration = static_cast<uint16_t>(r.integerMember(item, path, "duration", 0, 65535));
        c.fallTime = static_cast<uint16_t>(r.integerMember(item, path, "fallTime", 0, 65535));
        c.inputInverted = static_cast<uint8_t>(r.integerMember(item, path, "inputInverted", 0, 255));
    }
}

// Each element of `array` must be an object; `read` takes it with its path.
void forEachObject(Reader& r, const JsonValue& array, const std::string& path,
                   const std::function<void(const JsonValue&, const std::string&, std::size_t)>& read) {
    for (std::size_t i = 0; i < array.items.size() && !r.failed(); ++i) {
        const JsonValue& item = array.items[i];
        const std::string where = Reader::index(path, i);
        if (item.type != JsonValue::Type::Object) {
            r.fail("pole " + where + " " + Reader::position(item) + ": oczekiwano: obiekt, jest: " +
                   jsonTypeName(item.type));
            return;
        }
        read(item, where, i);
    }
}

void readScenes(Reader& r, const JsonValue& root, ConfigImage& image) {
    const JsonValue* scenes = r.arrayMember(root, "", "scenes", kSceneCount);
    if (scenes == nullptr) return;
    forEachObject(r, *scenes, "scenes", [&](const JsonValue& item, const std::string& path, std::size_t s) {
        r.levels(item, path, image.scenes[s].levels);
        image.scenes[s].riseTime = static_cast<uint16_t>(r.integerMember(item, path, "riseTime", 0, 65535));
    });
}

void readPrograms(Reader& r, const JsonValue& root, ConfigImage& image) {
    const JsonValue* programs = r.arrayMember(root, "", "programs", kProgramCount);
    if (programs == nullptr) return;
    forEachObject(r, *programs, "programs", [&](const JsonValue& item, const std::string& path, std::size_t p) {
        Program& program = image.programs[p];
        program.endStep = static_cast<uint8_t>(r.integerMember(item, path, "endStep", 0, 15));
        const JsonValue* steps = r.arrayMember(item, path, "steps", kStepCount);
        if (steps == nullptr) return;
        forEachObject(r, *steps, path + ".steps",
                      [&](const JsonValue& stepItem, const std::string& stepPath, std::size_t k) {
                          ProgramStep& step = program.steps[k];
                          r.levels(stepItem, stepPath, step.levels);
                          step.riseTime = static_cast<uint16_t>(r.integerMember(stepItem, stepPath, "riseTime", 0, 65535));
                          step.duration = static_cast<uint16_t>(r.integerMember(stepItem, stepPath, "duration", 0, 65535));
                      });
    });
}

std::string optionalText(Reader& r, const JsonValue& root, const char* name) {
    const JsonValue* value = root.find(name);
    if (value == nullptr || value->type == JsonValue::Type::Null) return {};
    if (value->type != JsonValue::Type::String) {
        r.fail(std::string("pole ") + name + " " + Reader::position(*value) + ": oczekiwano: napis, jest: " +
               jsonTypeName(value->type));
        return {};
    }
    return value->text;
}

}  // namespace

std::string settingsJson(const ConfigImage& image, bool withReserved, const std::string& indent) {
    const CommonSettings& common = image.common;
    const std::string in = indent + "  ";
    std::string out = "{\n";
    out += in + field("operatingMode", common.operatingMode) + ",\n";
    out += in + field("commonInputMode", common.commonInputMode) + ",\n";
    out += in + field("switchOnTime", common.switchOnTime) + ",\n";
    out += in + field("switchOffTime", common.switchOffTime) + ",\n";
    out += in + "\"channels\": [\n";
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = image.channels[i];
        out += in + "  {" + field("minLevel", c.minLevel) + ", " + field("maxLevel", c.maxLevel) + ", " +
               field("riseTime", c.riseTime) + ", " + field("duration", c.duration) + ", " +
               field("fallTime", c.fallTime) + ", " + field("inputInverted", c.inputInverted) +
               (withReserved ? ", " + field("reserved", c.reserved) : "") + "}" +
               (i + 1 < kChannelCount ? ",\n" : "\n");
    }
    return out + in + "]\n" + indent + "}";
}

std::string scenesJson(const ConfigImage& image, const std::string& indent) {
    std::string out = "[\n";
    for (int s = 0; s < kSceneCount; ++s) {
        out += indent + "  {\"levels\": " + levelsJson(image.scenes[s].levels) + ", " +
               field("riseTime", image.scenes[s].riseTime) + "}" + (s + 1 < kSceneCount ? ",\n" : "\n");
    }
    return out + indent + "]";
}

std::string stepsJson(const Program& program, int stepCount, const std::string& indent) {
    std::string out = "[\n";
    for (int k = 0; k < stepCount; ++k) {
        const ProgramStep& step = program.steps[k];
        out += indent + "  {\"levels\": " + levelsJson(step.levels) + ", " + field("riseTime", step.riseTime) +
               ", " + field("duration", step.duration) + "}" + (k + 1 < stepCount ? ",\n" : "\n");
    }
    return out + indent + "]";
}

std::string programsJson(const ConfigImage& image, const std::string& indent) {
    const std::string in = indent + "  ";
    std::string out = "[\n";
    for (int p = 0; p < kProgramCount; ++p) {
        const Program& program = image.programs[p];
        out += in + "{\n" + in + "  " + field("endStep", program.endStep) + ",\n" + in + "  \"steps\": " +
               stepsJson(program, kStepCount, in + "  ") + "\n" + in + "}" + (p + 1 < kProgramCount ? ",\n" : "\n");
    }
    return out + indent + "]";
}

std::string writeBackupJson(const ConfigImage& image, const BackupInfo& info) {
    std::string out = "{\n";
    out += "  \"format\": " + jsonQuote(kBackupFormatName) + ",\n";
    out += "  \"version\": " + std::to_string(kBackupVersion) + ",\n";
    if (!info.firmware.empty()) out += "  \"firmware\": " + jsonQuote(info.firmware) + ",\n";
    if (!info.created.empty()) out += "  \"created\": " + jsonQuote(info.created) + ",\n";
    out += "  \"settings\": " + settingsJson(image, false, "  ") + ",\n";
    out += "  \"scenes\": " + scenesJson(image, "  ") + ",\n";
    out += "  \"programs\": " + programsJson(image, "  ") + "\n";
    return out + "}\n";
}

BackupLoadResult readBackupJson(const std::string& text, ConfigImage& image, BackupInfo& info) {
    JsonValue root;
    const JsonParseResult parsed = parseJson(text, root);
    if (!parsed.ok) return {false, "uszkodzony JSON: " + parsed.error};
    if (root.type != JsonValue::Type::Object) {
        return {false, std::string("to nie jest kopia zapasowa Kd215: dokument jest typu ") +
                           jsonTypeName(root.type) + ", a nie obiektem"};
    }
    const JsonValue* format = root.find("format");
    if (format == nullptr || format->type != JsonValue::Type::String || format->text != kBackupFormatName) {
        return {false, std::string("to nie jest kopia zapasowa Kd215: brak pola \"format\": \"") +
                           kBackupFormatName + "\""};
    }
    const JsonValue* version = root.find("version");
    if (version == nullptr) return {false, "brak pola version"};
    if (version->type != JsonValue::Type::Number || !version->integral) {
        return {false, "pole version: oczekiwano liczby całkowitej"};
    }
    if (version->integer != kBackupVersion) {
        return {false, "nieobsługiwana wersja kopii zapasowej: " + std::to_string(version->integer) +
                           " (ten program zna wersję " + std::to_string(kBackupVersion) + ")"};
    }

    Reader r;
    ConfigImage loaded = image;
    BackupInfo loadedInfo;
    loadedInfo.firmware = optionalText(r, root, "firmware");
    loadedInfo.created = optionalText(r, root, "created");
    readSettings(r, root, loaded);
    readScenes(r, root, loaded);
    readPrograms(r, root, loaded);
    if (r.failed()) return {false, r.error()};
    image = loaded;
    info = loadedInfo;
    return {true, {}};
}

bool looksLikeBackup(const std::string& bytes) {
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r')) ++i;
    return i < bytes.size() && bytes[i] == '{';
}

}  // namespace kd215
