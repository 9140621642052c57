// Writing and checking the backup text; every fault on load names the field it found it in.
#include "records/backup_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "records/config_fields.h"
#include "records/printable_text.h"

namespace kd215 {

const char* const kBackupFormatName = "kd215-backup";

namespace {

const char* typeName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return "wartość logiczna";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: return "liczba";
        case Json::value_t::string: return "napis";
        case Json::value_t::array: return "tablica";
        case Json::value_t::object: return "obiekt";
        default: return "?";
    }
}

// Finds where the text stops being JSON. The parser reports the offset; people want a line.
class SyntaxFault final : public nlohmann::json_sax<Json> {
public:
    std::size_t offset = 0;
    std::string token;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception&) override {
        offset = position;
        token = lastToken;
        return false;
    }
};

std::string syntaxFaultText(const std::string& text) {
    SyntaxFault fault;
    Json::sax_parse(text, &fault, nlohmann::detail::input_format_t::json, true);
    const std::size_t at = std::min(fault.offset, text.size());
    if (at >= text.size() && text.find_first_not_of(" \t\r\n") == std::string::npos) return "niespodziewany koniec pliku";
    // The parser's offset is one past the offending character.
    const std::string before = text.substr(0, at == 0 ? 0 : at - 1);
    const std::size_t lineStart = before.find_last_of('\n') == std::string::npos ? 0 : before.find_last_of('\n') + 1;
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t column = 1 + characterCount(before.substr(lineStart));
    std::string where = "wiersz " + std::to_string(line) + ", kolumna " + std::to_string(column);
    if (at >= text.size()) return where + ": niespodziewany koniec pliku";
    return where + (fault.token.empty() ? "" : ": błąd przy „" + printableText(fault.token.substr(0, 40)) + "”");
}

// Finds a key given twice in one object, where the parser would let the last one win without a
// word: "settings" twice in a backup would restore whichever came last.
class RepeatedKey final : public nlohmann::json_sax<Json> {
public:
    std::string path;  // of the first repeated key, "scenes[2].riseTime"

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override {
        levels_.push_back({true, {}, {}, 0});
        return true;
    }
    bool key(string_t& key) override {
        Level& level = levels_.back();
        if (!level.keys.insert(key).second) {
            path = where() + (levels_.size() > 1 ? "." : "") + key;
            return false;
        }
        level.key = key;
        return true;
    }
    bool end_object() override {
        levels_.pop_back();
        return value();
    }
    bool start_array(std::size_t) override {
        levels_.push_back({false, {}, {}, 0});
        return true;
    }
    bool end_array() override {
        levels_.pop_back();
        return value();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Level {
        bool object;
        std::set<std::string> keys;
        std::string key;    // the member being read
        std::size_t index;  // the element being read
    };
    bool value() {
        if (!levels_.empty() && !levels_.back().object) ++levels_.back().index;
        return true;
    }
    // The path of the object the key is in.
    std::string where() const {
        std::string text;
        for (std::size_t i = 0; i + 1 < levels_.size(); ++i) {
            const Level& level = levels_[i];
            text += level.object ? (text.empty() ? "" : ".") + level.key : "[" + std::to_string(level.index) + "]";
        }
        return text;
    }
    std::vector<Level> levels_;
};

}  // namespace

std::string pathPlace(const std::string& path) {
    static const std::pair<const char*, const char*> kNouns[] = {
        {"channels", "kanał"}, {"levels", "kanał"}, {"scenes", "scena"}, {"programs", "program"}, {"steps", "scena programu"}};
    std::string place;
    for (std::size_t open = path.find('['); open != std::string::npos; open = path.find('[', open + 1)) {
        const std::size_t start = path.find_last_of(".]", open);
        const std::string key = path.substr(start == std::string::npos ? 0 : start + 1, open - (start == std::string::npos ? 0 : start + 1));
        const unsigned long index = std::strtoul(path.c_str() + open + 1, nullptr, 10);
        for (const auto& [name, noun] : kNouns) {
            if (key == name) place += (place.empty() ? "" : ", ") + std::string(noun) + " " + std::to_string(index + 1);
        }
    }
    return place;
}

std::string placedPath(const std::string& path) {
    const std::string place = pathPlace(path);
    return place.empty() ? path : path + " (" + place + ")";
}

namespace {

// Checks and reads one value; the first fault is kept and later reads do nothing.
class Reader {
public:
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    void fail(const std::string& text) {
        if (error_.empty()) error_ = text;
    }

    const Json* member(const Json& object, const std::string& path, const char* name) {
        if (failed()) return nullptr;
        const auto found = object.find(name);
        if (found == object.end()) {
            fail("brak pola " + join(path, name));
            return nullptr;
        }
        return &*found;
    }

    const Json* objectMember(const Json& object, const std::string& path, const char* name) {
        const Json* value = member(object, path, name);
        if (value != nullptr && !value->is_object()) {
            typeFault(*value, join(path, name), "obiekt");
            return nullptr;
        }
        return value;
    }

    // An array of exactly `count` elements.
    const Json* arrayMember(const Json& object, const std::string& path, const char* name, std::size_t count) {
        const Json* value = member(object, path, name);
        if (value == nullptr) return nullptr;
        const std::string where = join(path, name);
        if (!value->is_array()) {
            typeFault(*value, where, "tablica");
            return nullptr;
        }
        if (value->size() != count) {
            fail("pole " + placedPath(where) + ": oczekiwano " + std::to_string(count) + " elementów, jest " +
                 std::to_string(value->size()));
            return nullptr;
        }
        return value;
    }

    // An integer within [low, high].
    unsigned integer(const Json& value, const std::string& where, unsigned low, unsigned high) {
        if (failed()) return 0;
        if (!value.is_number()) {
            typeFault(value, where, "liczba całkowita");
            return 0;
        }
        const std::string range = " poza zakresem " + std::to_string(low) + "–" + std::to_string(high);
        if (value.is_number_float()) {
            // Digits without a fraction become a float only when no 64-bit integer holds them.
            const double number = value.get<double>();
            if (std::fabs(number) >= 9.2e18 && std::floor(number) == number) {
                fail("pole " + placedPath(where) + ": wartość " + jsonText(value) + range);
            } else {
                fail("pole " + placedPath(where) + ": oczekiwano liczby całkowitej, jest " + jsonText(value));
            }
            return 0;
        }
        const bool inRange = value.is_number_unsigned() ? value.get<uint64_t>() >= low && value.get<uint64_t>() <= high
                                                        : value.get<int64_t>() >= static_cast<int64_t>(low) &&
                                                              value.get<int64_t>() <= static_cast<int64_t>(high);
        if (!inRange) {
            fail("pole " + placedPath(where) + ": wartość " + jsonText(value) + range);
            return 0;
        }
        return static_cast<unsigned>(value.get<uint64_t>());
    }

    unsigned integerMember(const Json& object, const std::string& path, const char* name, unsigned low,
                           unsigned high) {
        const Json* value = member(object, path, name);
        return value == nullptr ? 0 : integer(*value, join(path, name), low, high);
    }

    // Each element of `array` must be an object; `read` takes it with its path.
    void forEachObject(const Json& array, const std::string& path,
                       const std::function<void(const Json&, const std::string&, std::size_t)>& read) {
        for (std::size_t i = 0; i < array.size() && !failed(); ++i) {
            const Json& item = array[i];
            const std::string where = index(path, i);
            if (!item.is_object()) {
                typeFault(item, where, "obiekt");
                return;
            }
            read(item, where, i);
        }
    }

    std::string optionalText(const Json& root, const char* name) {
        const auto found = root.find(name);
        if (found == root.end() || found->is_null()) return {};
        if (!found->is_string()) {
            typeFault(*found, name, "napis");
            return {};
        }
        return found->get<std::string>();
    }

    static std::string join(const std::string& path, const char* name) {
        return path.empty() ? name : path + "." + name;
    }
    static std::string index(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }

private:
    void typeFault(const Json& value, const std::string& where, const char* expected) {
        fail("pole " + placedPath(where) + ": oczekiwano: " + expected + ", jest: " + typeName(value));
    }

    std::string error_;
};

// Each field of one record, by its key and within its range, onto the image.
void readRecord(Reader& r, const Json& object, const std::string& path, FieldRecord record, const FieldPlace& at,
                ConfigImage& image) {
    for (const ConfigField* field : recordFields(record)) {
        if (!field->perChannel) {
            field->set(image, at, r.integerMember(object, path, field->key, 0, field->max));
            continue;
        }
        const Json* values = r.arrayMember(object, path, field->key, kChannelCount);
        if (values == nullptr) return;
        FieldPlace level = at;
        for (level.channel = 0; level.channel < kChannelCount; ++level.channel) {
            const std::size_t c = static_cast<std::size_t>(level.channel);
            field->set(image, level, r.integer((*values)[c], Reader::index(Reader::join(path, field->key), c), 0, field->max));
        }
    }
}

void readSettings(Reader& r, const Json& root, ConfigImage& image) {
    const Json* settings = r.objectMember(root, "", "settings");
    if (settings == nullptr) return;
    readRecord(r, *settings, "settings", FieldRecord::Common, {}, image);
    const Json* channels = r.arrayMember(*settings, "settings", "channels", kChannelCount);
    if (channels == nullptr) return;
    r.forEachObject(*channels, "settings.channels", [&](const Json& item, const std::string& path, std::size_t i) {
        readRecord(r, item, path, FieldRecord::Channel, {static_cast<int>(i)}, image);
    });
}

void readScenes(Reader& r, const Json& root, ConfigImage& image) {
    const Json* scenes = r.arrayMember(root, "", "scenes", kSceneCount);
    if (scenes == nullptr) return;
    r.forEachObject(*scenes, "scenes", [&](const Json& item, const std::string& path, std::size_t s) {
        readRecord(r, item, path, FieldRecord::Scene, {static_cast<int>(s)}, image);
    });
}

void readPrograms(Reader& r, const Json& root, ConfigImage& image) {
    const Json* programs = r.arrayMember(root, "", "programs", kProgramCount);
    if (programs == nullptr) return;
    r.forEachObject(*programs, "programs", [&](const Json& item, const std::string& path, std::size_t p) {
        const int program = static_cast<int>(p);
        readRecord(r, item, path, FieldRecord::Program, {program}, image);
        const Json* steps = r.arrayMember(item, path, "steps", kStepCount);
        if (steps == nullptr) return;
        r.forEachObject(*steps, path + ".steps", [&](const Json& stepItem, const std::string& stepPath, std::size_t k) {
            readRecord(r, stepItem, stepPath, FieldRecord::Step, {program, static_cast<int>(k)}, image);
        });
    });
}

}  // namespace

namespace {

std::string scalarText(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A record of numbers (a channel, a scene, a step) or a list of levels fits on one line, so
// that a backup reads as a table: one line per channel, scene and step.
bool fitsOneLine(const Json& value) {
    const auto scalarOrRow = [](const Json& item) {
        return item.is_primitive() ||
               (item.is_array() && std::all_of(item.begin(), item.end(), [](const Json& e) { return e.is_primitive(); }));
    };
    if (value.is_array()) return std::all_of(value.begin(), value.end(), [](const Json& e) { return e.is_primitive(); });
    if (value.is_object()) return std::all_of(value.begin(), value.end(), scalarOrRow);
    return true;
}

void appendJson(const Json& value, const std::string& indent, bool oneLine, std::string& out) {
    if (value.is_primitive()) {
        out += scalarText(value);
        return;
    }
    oneLine = oneLine || fitsOneLine(value) || value.empty();
    const std::string inner = indent + "  ";
    out += value.is_object() ? "{" : "[";
    bool first = true;
    for (auto item = value.begin(); item != value.end(); ++item) {
        out += first ? (oneLine ? "" : "\n" + inner) : (oneLine ? ", " : ",\n" + inner);
        first = false;
        if (value.is_object()) out += scalarText(Json(item.key())) + ": ";
        appendJson(item.value(), inner, oneLine, out);
    }
    if (!oneLine) out += "\n" + indent;
    out += value.is_object() ? "}" : "]";
}

}  // namespace

std::string jsonText(const Json& value) {
    std::string out;
    appendJson(value, "", false, out);
    return out;
}

namespace {

// One record's members: each field by its key, the levels as one list.
Json recordJson(const ConfigImage& image, FieldRecord record, const FieldPlace& at, bool withReserved = false) {
    Json json = Json::object();
    for (const ConfigField* field : recordFields(record, withReserved)) {
        if (!field->perChannel) {
            json[field->key] = field->get(image, at);
            continue;
        }
        Json levels = Json::array();
        FieldPlace level = at;
        for (level.channel = 0; level.channel < kChannelCount; ++level.channel) levels.push_back(field->get(image, level));
        json[field->key] = std::move(levels);
    }
    return json;
}

}  // namespace

Json settingsJson(const ConfigImage& image, bool withReserved) {
    Json channels = Json::array();
    for (int i = 0; i < kChannelCount; ++i) channels.push_back(recordJson(image, FieldRecord::Channel, {i}, withReserved));
    Json settings = recordJson(image, FieldRecord::Common, {});
    settings["channels"] = std::move(channels);
    return settings;
}

Json scenesJson(const ConfigImage& image) {
    Json scenes = Json::array();
    for (int s = 0; s < kSceneCount; ++s) scenes.push_back(recordJson(image, FieldRecord::Scene, {s}));
    return scenes;
}

Json stepsJson(const ConfigImage& image, int program, int stepCount) {
    Json steps = Json::array();
    for (int k = 0; k < stepCount; ++k) steps.push_back(recordJson(image, FieldRecord::Step, {program, k}));
    return steps;
}

Json programsJson(const ConfigImage& image) {
    Json programs = Json::array();
    for (int p = 0; p < kProgramCount; ++p) {
        Json program = recordJson(image, FieldRecord::Program, {p});
        program["steps"] = stepsJson(image, p, kStepCount);
        programs.push_back(std::move(program));
    }
    return programs;
}

Json backupJson(const ConfigImage& image, const BackupInfo& info) {
    Json backup = {{"format", kBackupFormatName}, {"version", kBackupVersion}};
    if (!info.firmware.empty()) backup["firmware"] = info.firmware;
    if (!info.created.empty()) backup["created"] = info.created;
    if (!info.site.empty()) backup["site"] = info.site;
    if (!info.customer.empty()) backup["customer"] = info.customer;
    if (!info.note.empty()) backup["note"] = info.note;
    backup["settings"] = settingsJson(image, false);
    backup["scenes"] = scenesJson(image);
    backup["programs"] = programsJson(image);
    return backup;
}

std::string writeBackupJson(const ConfigImage& image, const BackupInfo& info) {
    return jsonText(backupJson(image, info)) + "\n";
}

namespace {

// Letters to change, add or drop to turn one key into the other.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The first key of `given` that `known` (the same object as a backup is written) lacks, with the
// nearest known key; a misspelt key would otherwise be passed over and its value lost unseen.
std::string unknownKeyFault(const Json& given, const Json& known, const std::string& path) {
    if (given.is_array() && known.is_array() && !known.empty()) {
        for (std::size_t i = 0; i < given.size(); ++i) {
            const std::string fault = unknownKeyFault(given[i], known[0], path + "[" + std::to_string(i) + "]");
            if (!fault.empty()) return fault;
        }
    }
    if (!given.is_object() || !known.is_object()) return {};
    for (auto item = given.begin(); item != given.end(); ++item) {
        const std::string where = path.empty() ? item.key() : path + "." + item.key();
        const auto match = known.find(item.key());
        if (match != known.end()) {
            const std::string fault = unknownKeyFault(item.value(), *match, where);
            if (!fault.empty()) return fault;
            continue;
        }
        std::string nearest;
        std::size_t best = SIZE_MAX;
        for (auto candidate = known.begin(); candidate != known.end(); ++candidate) {
            const std::size_t distance = editDistance(item.key(), candidate.key());
            if (distance < best) best = distance, nearest = candidate.key();
        }
        // A suggestion only where the keys are alike: at most a third of the letters differ.
        const bool alike = best <= std::max<std::size_t>(2, item.key().size() / 3);
        return "nieznane pole " + placedPath(where) + (alike ? ". Czy chodziło o " + nearest + "?" : "");
    }
    return {};
}

}  // namespace

BackupLoadResult readBackupJson(const std::string& text, ConfigImage& image, BackupInfo& info) {
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded()) return {false, "uszkodzony JSON: " + syntaxFaultText(text)};
    RepeatedKey repeated;
    Json::sax_parse(text, &repeated, nlohmann::detail::input_format_t::json, true);
    if (!repeated.path.empty()) return {false, "pole " + repeated.path + " występuje w pliku więcej niż raz"};
    if (!root.is_object()) {
        return {false, std::string("to nie jest kopia zapasowa Kd215: oczekiwano obiektu JSON, a dokument to ") +
                           typeName(root)};
    }
    const auto format = root.find("format");
    if (format == root.end() || !format->is_string() || format->get<std::string>() != kBackupFormatName) {
        return {false, std::string("to nie jest kopia zapasowa Kd215: brak pola \"format\": \"") +
                           kBackupFormatName + "\""};
    }
    const auto version = root.find("version");
    if (version == root.end()) return {false, "brak pola version"};
    if (!version->is_number_integer()) return {false, "pole version: oczekiwano liczby całkowitej"};
    if (version->get<int64_t>() != kBackupVersion) {
        return {false, "nieobsługiwana wersja kopii zapasowej: " + jsonText(*version) + " (ten program zna wersję " +
                           std::to_string(kBackupVersion) + ")"};
    }

    const BackupInfo everyText{"1.05", "2026-01-01T00:00:00+01:00", "site", "customer", "note"};
    const std::string unknown = unknownKeyFault(root, backupJson(defaultConfigImage(), everyText), "");
    if (!unknown.empty()) return {false, unknown};

    Reader r;
    ConfigImage loaded = image;
    BackupInfo loadedInfo;
    loadedInfo.firmware = r.optionalText(root, "firmware");
    loadedInfo.created = r.optionalText(root, "created");
    loadedInfo.site = r.optionalText(root, "site");
    loadedInfo.customer = r.optionalText(root, "customer");
    loadedInfo.note = r.optionalText(root, "note");
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
