// The three editors for the page: what each dialog procedure does with its controls, over the
// editors' own forms and field rules, taking the controls' state in and giving it back as JSON.
#include <emscripten.h>

#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "editors/channel_form.h"
#include "editors/common_settings_form.h"
#include "editors/control_rules.h"
#include "editors/field_rules.h"
#include "editors/scene_form.h"
#include "web_shell.h"

namespace kd215 {

namespace {

using Json = nlohmann::json;

// The working copies, one per dialog, living while the dialog is open.
std::array<uint8_t, 2> commonTimes{};
WorkingChannel channelWorking{};
WorkingEntry entryWorking{};

// A bar shows its number clamped to its range, as a scroll bar keeps its thumb inside.
long barValue(long number, unsigned max) { return std::clamp<long>(number, 0, static_cast<long>(max)); }

// The message a bad entry or channel number gets, and the field it returns to.
Json fieldError(const std::string& field) {
    return {{"text", kBadNumberText}, {"caption", kFieldErrorCaption}, {"field", field}};
}
Json refusal(int j) { return {{"field", j}, {"select", kRefusedSelection}}; }

std::string numberStep(const std::string& shownText, unsigned limit, bool next) {
    const unsigned shown = readUnsignedField(shownText);
    const std::optional<unsigned> n = next ? nextNumber(shown, limit) : previousNumber(shown);
    return n ? std::to_string(*n) : shownText;
}

// ---- common settings ("SpecEdit") ------------------------------------------------------------

Json commonOpen() {
    const CommonSettingsForm form = loadCommonSettings(pageImage());
    commonTimes = form.workingTimes;
    Json inputs = Json::array();
    for (int n = 0; n < kChannelCount; ++n) inputs.push_back({{"caption", inputCheckBoxCaption(n)}, {"checked", form.inputInverted[n]}});
    return {{"title", kCommonSettingsTitle}, {"commit", kCommitCaption}, {"inputs", inputs},
            {"commonInput", form.commonInputButtons}, {"modes", form.operatingModeButtons},
            {"commonInputCaptions", kCommonInputCaptions}, {"modeCaptions", kOperatingModeCaptions},
            {"max", kSwitchTimeMax},
            {"fields", {std::to_string(commonTimes[0]), std::to_string(commonTimes[1])}},
            {"bars", {commonTimes[0], commonTimes[1]}}};
}

Json commonEvent(const Json& e) {
    const std::string type = e.at("type");
    const int i = e.value("j", 0);
    Json view = Json::object();
    if (type == "typed") {
        const std::optional<long> number = parseFieldNumber(e.at("text").get<std::string>());
        if (number) {
            commonTimes[i] = static_cast<uint8_t>(*number & 0xFF);
            view["bar"] = barValue(*number, kSwitchTimeMax);
        }
    } else if (type == "left") {
        const std::optional<uint16_t> value = valueOnLeave(e.at("text").get<std::string>(), kSwitchTimeMax);
        if (value) commonTimes[i] = static_cast<uint8_t>(*value);
        else view["field"] = kBadFieldMark;
    } else if (type == "scroll") {
        const unsigned thumb = static_cast<unsigned>(thumbPosition(ScrollAxis::Vertical, e.at("value"), kSwitchTimeMax));
        const std::optional<uint16_t> value = scrolledValue(ScrollAxis::Vertical, e.at("code"), commonTimes[i], kSwitchTimeMax, thumb);
        if (value) view["field"] = std::to_string(*value);
    } else if (type == "commit") {
        const std::array<std::string, 2> texts = e.at("texts");
        if (const std::optional<int> refused = refusedTimeField(texts, commonTimes)) return {{"refused", refusal(*refused)}};
        CommonSettingsForm form;
        form.inputInverted = e.at("inputs");
        form.commonInputButtons = e.at("commonInput");
        form.operatingModeButtons = e.at("modes");
        form.workingTimes = commonTimes;
        storeCommonSettings(pageImage(), form);
        view["stored"] = true;
    }
    return view;
}

// ---- channel settings ("ChnlEdit") -----------------------------------------------------------

Json channelFields() {
    Json fields = Json::array(), bars = Json::array();
    for (int j = 0; j < kChannelValueCount; ++j) {
        fields.push_back(std::to_string(channelWorking[j]));
        bars.push_back(barValue(channelWorking[j], channelValueMax(j)));
    }
    return {{"fields", fields}, {"bars", bars}};
}

// The channel number 1..8 in its field, or 0 when it is none.
unsigned channelNumber(const Json& e) {
    const unsigned n = readUnsignedField(e.at("number").get<std::string>());
    return n >= 1 && n <= kChannelCount ? n : 0;
}

Json channelLoad(unsigned n) {
    const ChannelSettings& channel = pageImage().channels[n - 1];
    channelWorking = loadChannel(channel);
    Json view = channelFields();
    view["inverted"] = channel.inputInverted != 0;
    view["all"] = false;
    return view;
}

Json channelOpen() {
    Json max = Json::array();
    for (int j = 0; j < kChannelValueCount; ++j) max.push_back(channelValueMax(j));
    Json view = channelLoad(1);
    view.update({{"title", kChannelTitle}, {"load", kLoadCaption}, {"commit", kCommitCaption}, {"number", "1"}, {"max", max}});
    return view;
}

Json channelEvent(const Json& e) {
    const std::string type = e.at("type");
    const int j = e.value("j", 0);
    if (type == "typed") {
        const std::string text = e.at("text");
        const std::optional<uint16_t> value = valueWhileTyping(text);
        if (!value) return Json::object();
        channelWorking[j] = *value;
        return {{"bar", barValue(*parseFieldNumber(text), channelValueMax(j))}};
    }
    if (type == "left") {
        if (!leaveChannelField(channelWorking, j, e.at("text").get<std::string>())) return {{"field", kBadFieldMark}};
        return j == kUpperValue || j == kLowerValue ? channelFields() : Json::object();
    }
    if (type == "scroll") {
        scrollChannelValue(channelWorking, j, e.at("code"), e.at("value"));
        return channelFields();
    }
    if (type == "step") return {{"number", numberStep(e.at("number"), kChannelCount, e.at("next"))}};
    const unsigned n = channelNumber(e);
    if (n == 0) return {{"error", fieldError("number")}};
    if (type == "load") return channelLoad(n);
    const std::array<std::string, kChannelValueCount> texts = e.at("texts");
    if (const std::optional<int> refused = refusedChannelField(texts, channelWorking)) return {{"refused", refusal(*refused)}};
    storeChannel(pageImage(), n, channelWorking, e.at("inverted"), e.at("all"));
    return {{"stored", true}};
}

// ---- scenes and programs ("Edycja") ----------------------------------------------------------

Json entryLoad(const SceneJob& job, unsigned n) {
    const LoadedEntry entry = loadEntry(pageImage(), job, n);
    entryWorking = entry.values;
    Json fields = Json::array(), bars = Json::array();
    for (int j = 0; j < kEntryValueCount; ++j) {
        fields.push_back(std::to_string(entry.values[j]));
        bars.push_back(barValue(entry.values[j], entryValueMax(j)));
    }
    return {{"fields", fields}, {"bars", bars}, {"endStep", entry.endStep}};
}

Json entryOpen(const SceneJob& job) {
    Json max = Json::array();
    for (int j = 0; j < kEntryValueCount; ++j) max.push_back(entryValueMax(j));
    Json view = entryLoad(job, 1);
    view.update({{"title", job.title}, {"load", kLoadCaption}, {"commit", kCommitCaption},
                 {"levels", kLevelsGroupCaption}, {"endStepCaption", kEndStepCaption},
                 {"program", job.program >= 0}, {"count", job.entryCount}, {"number", "1"}, {"max", max}});
    return view;
}

ScrollAxis entryAxis(int j) { return j < kEntryRiseValue ? ScrollAxis::Vertical : ScrollAxis::Horizontal; }

Json entryEvent(const SceneJob& job, const Json& e) {
    const std::string type = e.at("type");
    const int j = e.value("j", 0);
    if (type == "typed") {
        const std::string text = e.at("text");
        const std::optional<uint16_t> value = valueWhileTyping(text);
        if (!value) return Json::object();
        entryWorking[j] = *value;
        return {{"bar", barValue(*parseFieldNumber(text), entryValueMax(j))}};
    }
    if (type == "left") {
        const std::optional<uint16_t> value = valueOnLeave(e.at("text").get<std::string>(), entryValueMax(j));
        if (!value) return {{"field", kBadFieldMark}};
        entryWorking[j] = *value;
        return Json::object();
    }
    if (type == "scroll") {
        const unsigned thumb = static_cast<unsigned>(thumbPosition(entryAxis(j), e.at("value"), entryValueMax(j)));
        const std::optional<uint16_t> value = scrolledValue(entryAxis(j), e.at("code"), entryWorking[j], entryValueMax(j), thumb);
        return value ? Json{{"field", std::to_string(*value)}} : Json::object();
    }
    if (type == "step") return {{"number", numberStep(e.at("number"), job.entryCount, e.at("next"))}};
    const unsigned n = readUnsignedField(e.at("number").get<std::string>());
    if (n < 1 || n > job.entryCount) return {{"error", fieldError("number")}};
    if (type == "load") return entryLoad(job, n);
    const EntryFieldTexts texts = e.at("texts");
    if (const std::optional<int> refused = refusedEntryField(job, texts)) return {{"refused", refusal(*refused)}};
    storeEntry(pageImage(), job, n, texts, e.at("endStep"));
    return {{"stored", true}};
}

// ---- the page's two calls --------------------------------------------------------------------

}  // namespace

std::string editorOpen(int kind, int area) {
    switch (static_cast<EditorKind>(kind)) {
        case EditorKind::CommonSettings: return commonOpen().dump();
        case EditorKind::Channels: return channelOpen().dump();
        default: break;
    }
    const SceneJob* job = sceneJobFor(static_cast<ConfigArea>(area));
    return job ? entryOpen(*job).dump() : "null";
}

// One event of an open editor: a field typed in or left, a bar moved, "+"/"-", "Ładuj",
// "Zatwierdź". The answer holds what the controls show next.
std::string editorEvent(int kind, int area, const std::string& eventText) {
    const Json e = Json::parse(eventText, nullptr, false);
    if (e.is_discarded()) return "{}";
    switch (static_cast<EditorKind>(kind)) {
        case EditorKind::CommonSettings: return commonEvent(e).dump();
        case EditorKind::Channels: return channelEvent(e).dump();
        default: break;
    }
    const SceneJob* job = sceneJobFor(static_cast<ConfigArea>(area));
    return job ? entryEvent(*job, e).dump() : "{}";
}

}  // namespace kd215

// Plain exports rather than embind: the page calls these while the engine's call that opened the
// editor is suspended, which embind's Asyncify wrappers would take for their own wait.
extern "C" {
EMSCRIPTEN_KEEPALIVE const char* kd_editor_open(int kind, int area) {
    static std::string view;
    view = kd215::editorOpen(kind, area);
    return view.c_str();
}
EMSCRIPTEN_KEEPALIVE const char* kd_editor_event(int kind, int area, const char* event) {
    static std::string view;
    view = kd215::editorEvent(kind, area, event);
    return view.c_str();
}
}
