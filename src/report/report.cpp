// The configuration report as HTML: header, settings and channels, the scene grid, each program as
// a timeline chart and a table, and the differences from a second source.
#include "report/report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <utility>

#include "config/area_names.h"
#include "records/config_fields.h"
#include "records/config_text.h"
#include "records/printable_text.h"
#include "report/report_chart.h"

namespace kd215 {

namespace {

// The page's look. Each section starts a new sheet in print; shading is kept on paper.
const char* const kStyle = R"(
@page { size: A4; margin: 12mm 12mm 14mm; }
* { box-sizing: border-box; }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font: 10pt "DejaVu Sans", Arial, sans-serif; color: #222; margin: 0 auto; max-width: 186mm; padding: 6mm 0; }
h1 { font-size: 16pt; margin: 0 0 3mm; }
h2 { font-size: 13pt; margin: 0 0 2mm; border-bottom: 1.5pt solid #b36b00; }
h3 { font-size: 11pt; margin: 4mm 0 1.5mm; }
p.note { font-size: 8.5pt; color: #555; margin: 1mm 0 2mm; }
section { margin-top: 8mm; }
@media print { section ~ section { break-before: page; } section { margin-top: 4mm; } body { padding: 0; } }
@media print { section ~ section.absent, section#kanaly { break-before: auto; } }
section.absent { margin-top: 3mm; }
section.absent p { margin: 0; }
table { border-collapse: collapse; width: 100%; font-size: 9pt; }
th, td { border: 0.5pt solid #bbb; padding: 1mm 1.2mm; text-align: right; vertical-align: top; }
th { background: #f1ece3; font-weight: 600; }
th.name, td.name { text-align: left; }
table.header td, table.header th { text-align: left; }
table.header th { width: 38mm; }
small.raw { display: block; font-size: 7.5pt; color: inherit; opacity: 0.75; }
td.diff, th.diff { outline: 1.8pt solid #c8102e; outline-offset: -1.8pt; }
small.other { display: block; font-size: 7.5pt; color: #c8102e; font-weight: 700; }
table.grid td, table.grid th { padding: 2.2mm 1.6mm; font-size: 10pt; }
tr.end td { border-top: 1.5pt solid #c8102e; border-bottom: 1.5pt solid #c8102e; }
tr.after td { color: #888; }
td.missing { text-align: center; color: #888; font-style: italic; }
svg { width: 100%; height: auto; display: block; margin: 1mm 0 3mm; }
svg text { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 9px; fill: #333; }
svg .lane { fill: #f6f3ee; }
svg .level { fill: #f0a020; stroke: #a05a00; stroke-width: 0.6; }
svg .after-end .level { fill: #d8d2c8; stroke: #999; }
svg .bound { stroke: #bbb; stroke-width: 0.5; }
svg .other-source { fill: none; stroke: #c8102e; stroke-width: 1.2; stroke-dasharray: 3 2; }
svg text.diff { fill: #c8102e; font-weight: 700; }
svg .end-mark { stroke: #c8102e; stroke-width: 1.5; }
svg text.end-mark { fill: #c8102e; stroke: none; font-weight: 700; }
ol.differences { font-size: 9pt; columns: 2; column-gap: 8mm; }
)";

std::string levelText(unsigned level) {
    return "<b>" + std::to_string(levelToPercent(level)) + "%</b><small class=\"raw\">" + std::to_string(level) +
           "</small>";
}

std::string valueText(unsigned value, ValueStyle style) {
    return style == ValueStyle::Level ? levelText(value) : htmlEscape(formatValue(value, style));
}

// A scene or step cell's shade: pale for 0, deep amber for 255, dark text readable on all of them.
std::string shade(unsigned level) {
    return "background:hsl(36,92%," + std::to_string(97 - level * 45 / 255) + "%)";
}

// Text as a CSS string: quotes, backslashes and line ends escaped, and "<" too, so that a
// "</style>" in a site's name cannot end the style sheet.
std::string cssString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '<' || u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%x ", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string customerDateText(const std::string& iso) {
    static const char* const kMonths[] = {"stycznia", "lutego", "marca", "kwietnia", "maja", "czerwca",
                                          "lipca", "sierpnia", "września", "października", "listopada", "grudnia"};
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = 0;
    int used = 0;
    const int fields = std::sscanf(iso.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%c%2u:%2u%n", &year, &month, &day, &hour,
                                   &minute, &second, &sign, &offsetHours, &offsetMinutes, &used);
    if (fields != 9 || static_cast<std::size_t>(used) != iso.size() || (sign != '+' && sign != '-') || month < 1 ||
        month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59) {
        return iso;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%u %s %u, %02u:%02u (UTC%c%02u:%02u)", day, kMonths[month - 1], year, hour,
                  minute, sign, offsetHours, offsetMinutes);
    return text;
}

namespace {

// Every printed sheet's footer: the site, the date and time, the sheet's number of all, so that
// loose sheets go back together and apart from another site'source.
std::string sheetFooter(const ReportVisit& visit) {
    const std::string site = visit.site.empty() ? "Kd215 – raport konfiguracji" : "Obiekt: " + visit.site;
    return "@page {\n"
           "  @bottom-left { content: " + cssString(site) + "; font: 8pt \"DejaVu Sans\", Arial, sans-serif; color: #555; }\n"
           "  @bottom-center { content: " + cssString(customerDateText(visit.madeAt)) + "; font: 8pt \"DejaVu Sans\", Arial, sans-serif; color: #555; }\n"
           "  @bottom-right { content: \"strona \" counter(page) \" z \" counter(pages); font: 8pt \"DejaVu Sans\", Arial, sans-serif; color: #555; }\n"
           "}\n";
}

// The page being written and its two sources.
struct Page {
    const ReportSource& source;
    const ReportSource* other;
    std::ostringstream html;
};

// The other source's value of a field; not `held` when that source lacks the part or no other
// source is given.
struct Compared {
    unsigned value;
    bool held;
};

// The other source's value of a field at `at`, when there is that source.
Compared otherValue(const ConfigField& field, const ConfigImage* other, const FieldPlace& at) {
    return {other ? field.get(*other, at) : 0u, other != nullptr};
}

// A label as a heading: its first letter a capital (every label starts with a Latin one).
std::string capitalised(std::string label) {
    if (!label.empty()) label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
    return label;
}

// One value's cell. When the other source holds the value too and it differs, the cell is marked,
// shows the other value below.
void valueCell(Page& page, const std::string& label, unsigned value, const Compared& other, ValueStyle style,
               bool shaded = false, const std::string& id = "") {
    std::string classes, attributes;
    if (shaded) attributes = " style=\"" + shade(value) + "\"";
    const bool differs = other.held && other.value != value;
    if (differs) {
        classes = "diff";
        const std::string first = formatValue(value, style), second = formatValue(other.value, style);
        attributes += " title=\"" + htmlEscape(label + ": A " + first + ", B " + second) + "\"";
    }
    page.html << "<td" << (id.empty() ? "" : " id=\"" + id + "\"") << (classes.empty() ? "" : " class=\"" + classes + "\"") << attributes << ">"
              << valueText(value, style);
    if (differs) page.html << "<small class=\"other\">B: " << htmlEscape(formatValue(other.value, style)) << "</small>";
    page.html << "</td>";
}

std::string contentsText(const ReportSource& source) {
    std::vector<std::string> held, missing;
    (source.hasSettings ? held : missing).push_back("ustawienia wspólne i ustawienia kanałów");
    (source.hasScenes ? held : missing).push_back("sceny");
    for (int p = 0; p < kProgramCount; ++p) {
        const std::string name = "program " + std::to_string(p + 1);
        if (source.programSteps[p] == 0) {
            missing.push_back(name);
        } else if (source.programSteps[p] < kStepCount || !source.hasEndStep[p]) {
            // Two scenes left out are "13 i 14", not a range.
            const int first = source.programSteps[p] + 1;
            const std::string left = first == kStepCount ? "bez sceny " + std::to_string(first) + " "
                                     : "bez scen " + std::to_string(first) + (first + 1 == kStepCount ? " i " : "–") +
                                           std::to_string(kStepCount) + " ";
            held.push_back(name + " (sceny 1–" + std::to_string(source.programSteps[p]) + ", " +
                           (first > kStepCount ? "" : left + "oraz ") + "bez sceny kończącej)");
        } else {
            held.push_back(name);
        }
    }
    const auto join = [](const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
        return text;
    };
    return join(held) + (missing.empty() ? "" : "; brak: " + join(missing));
}

void sourceRows(Page& page, const ReportSource& source, const std::string& name) {
    std::ostringstream& html = page.html;
    html << "<tr><th>" << name << "</th><td>";
    if (!source.port.empty()) {
        html << "sterownik na porcie " << htmlEscape(source.port);
    } else {
        for (std::size_t i = 0; i < source.files.size(); ++i) html << (i ? ", " : "") << htmlEscape(source.files[i]);
    }
    html << "</td></tr>\n<tr><th>Zawartość</th><td>" << htmlEscape(contentsText(source)) << "</td></tr>\n";
    if (!source.firmware.empty()) {
        html << "<tr><th>Oprogramowanie sterownika</th><td>" << htmlEscape(source.firmware)
          << (source.port.empty() ? " (według kopii zapasowej)" : "") << "</td></tr>\n";
    }
    if (!source.created.empty()) html << "<tr><th>Kopia zapasowa utworzona</th><td>" << htmlEscape(customerDateText(source.created)) << "</td></tr>\n";
}

void header(Page& page, const ReportVisit& visit) {
    std::ostringstream& html = page.html;
    html << "<header>\n<h1>Kd215 – raport konfiguracji</h1>\n<table class=\"header\">\n";
    const std::pair<const char*, const std::string*> kVisitRows[] = {
        {"Obiekt", &visit.site}, {"Klient", &visit.customer}, {"Uwagi", &visit.note}};
    for (const auto& row : kVisitRows) {
        if (!row.second->empty()) html << "<tr><th>" << row.first << "</th><td>" << htmlEscape(*row.second) << "</td></tr>\n";
    }
    html << "<tr><th>Sporządzono</th><td>" << htmlEscape(customerDateText(visit.madeAt)) << "</td></tr>\n";
    sourceRows(page, page.source, page.other ? "Źródło A" : "Źródło");
    if (page.other) sourceRows(page, *page.other, "Źródło B");
    html << "</table>\n<p class=\"note\">Poziomy w procentach, jak w edytorach, pod nimi wartość surowa 0–255. "
         "Czasy w jednostkach czasu sterownika, jak w edytorach.";
    if (page.other) {
        html << " Wartości różne w źródłach A i B są obwiedzione na czerwono; w komórce wartość A, pod nią B. "
             "Na wykresach linia przerywana to program ze źródła B.";
    }
    html << "</p>\n</header>\n";
}

// A part the source does not hold: one line on the sheet before, not a sheet of its own.
void absentSection(Page& page, const std::string& id, const std::string& heading, const std::string& what) {
    page.html << "<section id=\"" << id << "\" class=\"absent\">\n<p><b>" << heading << "</b>: źródło nie zawiera "
              << what << ".</p>\n</section>\n";
}

// Opens the part's section under `heading`; when the source does not hold the part, says so in one
// line under `absentHeading` instead and returns false.
bool openedSection(Page& page, bool held, const std::string& id, const std::string& heading,
                   const std::string& absentHeading, const std::string& what) {
    if (!held) {
        absentSection(page, id, absentHeading, what);
        return false;
    }
    page.html << "<section id=\"" << id << "\">\n<h2>" << heading << "</h2>\n";
    return true;
}

void settingsSection(Page& page) {
    const ReportSource& source = page.source;
    std::ostringstream& html = page.html;
    if (!openedSection(page, source.hasSettings, "ustawienia", "Ustawienia wspólne",
                       "Ustawienia wspólne i ustawienia kanałów", "ustawień")) {
        return;
    }
    const bool compared = page.other && page.other->hasSettings;
    const ConfigImage& a = source.image;
    const ConfigImage* b = compared ? &page.other->image : nullptr;
    html << "<table class=\"header\">\n";
    for (const ConfigField* field : recordFields(FieldRecord::Common)) {
        const std::string label = field->reportLabel ? field->reportLabel : field->label;
        html << "<tr><th>" << capitalised(label) << "</th>";
        valueCell(page, label, field->get(a, {}), otherValue(*field, b, {}), field->style);
        html << "</tr>\n";
    }
    // The channels are a section of their own, under their own heading, on the settings' sheet.
    const std::vector<const ConfigField*> columns = recordFields(FieldRecord::Channel);
    html << "</table>\n</section>\n<section id=\"kanaly\">\n<h2>Ustawienia kanałów</h2>\n<table>\n"
         "<tr><th class=\"name\">Kanał</th>";
    for (const ConfigField* field : columns) html << "<th>" << field->heading << "</th>";
    html << "</tr>\n";
    for (int i = 0; i < kChannelCount; ++i) {
        const std::string label = "kanał " + std::to_string(i + 1) + " ";
        html << "<tr><td class=\"name\">K" << i + 1 << "</td>";
        for (const ConfigField* field : columns) {
            valueCell(page, label + field->label, field->get(a, {i}), otherValue(*field, b, {i}), field->style);
        }
        html << "</tr>\n";
    }
    html << "</table>\n</section>\n";
}

// The scenes' levels, a row per channel, each cell shaded by its level.
void sceneLevelRows(Page& page, const ConfigField& levels, const ConfigImage* other) {
    for (int c = 0; c < kChannelCount; ++c) {
        page.html << "<tr><td class=\"name\">K" << c + 1 << "</td>";
        for (int sc = 0; sc < kSceneCount; ++sc) {
            const FieldPlace at{sc, 0, c};
            page.html << "\n";
            valueCell(page, "scena " + std::to_string(sc + 1) + " kanał " + std::to_string(c + 1),
                      levels.get(page.source.image, at), otherValue(levels, other, at), levels.style, true,
                      "scena" + std::to_string(sc + 1) + "-k" + std::to_string(c + 1));
        }
        page.html << "</tr>\n";
    }
}

void scenesSection(Page& page) {
    const ReportSource& source = page.source;
    std::ostringstream& html = page.html;
    if (!openedSection(page, source.hasScenes, "sceny", "Sceny", "Sceny", "scen")) return;
    const ConfigImage* b = page.other && page.other->hasScenes ? &page.other->image : nullptr;
    html << "<p class=\"note\">Poziom kanału w każdej scenie; im ciemniejsze pole, tym jaśniej świeci kanał.</p>\n"
         "<table class=\"grid\">\n<tr><th class=\"name\">Kanał</th>";
    for (int sc = 0; sc < kSceneCount; ++sc) html << "<th>Scena " << sc + 1 << "</th>";
    html << "</tr>\n";
    for (const ConfigField* field : recordFields(FieldRecord::Scene)) {
        if (field->perChannel) {
            sceneLevelRows(page, *field, b);
            continue;
        }
        html << "<tr><th class=\"name\">" << field->heading << "</th>";
        for (int sc = 0; sc < kSceneCount; ++sc) {
            valueCell(page, "scena " + std::to_string(sc + 1) + " " + field->label, field->get(source.image, {sc}),
                      otherValue(*field, b, {sc}), field->style);
        }
        html << "</tr>\n";
    }
    html << "</table>\n</section>\n";
}

void programTable(Page& page, int p) {
    const ReportSource& source = page.source;
    const Program& program = source.image.programs[p];
    const ReportSource* otherSource = page.other;
    const int otherSteps = otherSource ? otherSource->programSteps[p] : 0;
    const bool endHeld = source.hasEndStep[p];
    std::ostringstream& html = page.html;
    const std::vector<const ConfigField*> columns = recordFields(FieldRecord::Step);
    html << "<table>\n<tr><th class=\"name\">Scena</th>";
    for (const ConfigField* field : columns) {
        if (!field->perChannel) html << "<th>" << field->heading << "</th>";
        for (int c = 0; field->perChannel && c < kChannelCount; ++c) html << "<th>K" << c + 1 << "</th>";
    }
    html << "</tr>\n";
    const std::string prefix = "program " + std::to_string(p + 1) + " scena ";
    for (int k = 0; k < kStepCount; ++k) {
        if (k >= source.programSteps[p]) {
            html << "<tr><td class=\"name\">" << k + 1 << "</td><td class=\"missing\" colspan=\"" << kChannelCount + columns.size() - 1
              << "\">nieznana: plik programu zawiera tylko sceny 1–" << programFileSteps() << "</td></tr>\n";
            continue;
        }
        const ConfigImage* other = k < otherSteps ? &otherSource->image : nullptr;
        const bool isEnd = endHeld && program.endStep == k;
        const bool afterEnd = endHeld && program.endStep < kStepCount && k > program.endStep;
        html << "<tr" << (isEnd ? " class=\"end\"" : afterEnd ? " class=\"after\"" : "") << "><td class=\"name\">" << k + 1
          << (isEnd ? " kończąca" : "") << "</td>";
        const std::string label = prefix + std::to_string(k + 1) + " ";
        for (const ConfigField* field : columns) {
            FieldPlace at{p, k, 0};
            if (!field->perChannel) valueCell(page, label + field->label, field->get(source.image, at), otherValue(*field, other, at), field->style);
            for (; field->perChannel && at.channel < kChannelCount; ++at.channel) {
                valueCell(page, label + "kanał " + std::to_string(at.channel + 1), field->get(source.image, at),
                          otherValue(*field, other, at), field->style, !afterEnd);
            }
        }
        html << "</tr>\n";
    }
    html << "</table>\n";
    if (endHeld && otherSource && otherSource->hasEndStep[p] && otherSource->image.programs[p].endStep != program.endStep) {
        html << "<p class=\"note\" style=\"color:#c8102e\">Scena kończąca w źródle B: "
          << htmlEscape(formatValue(otherSource->image.programs[p].endStep, ValueStyle::EndStep)) << "</p>\n";
    }
}

void programSection(Page& page, int p) {
    const ReportSource& source = page.source;
    std::ostringstream& html = page.html;
    const std::string id = "program" + std::to_string(p + 1), name = "Program " + std::to_string(p + 1);
    if (!openedSection(page, source.programSteps[p] != 0, id, name, name, "programu " + std::to_string(p + 1))) return;
    html << "<p class=\"note\">Każda scena programu: najpierw narastanie do jej poziomów, potem trwanie, w skali czasu. "
         "Wysokość w pasie kanału to poziom (0–100%).";
    if (source.hasEndStep[p] && source.image.programs[p].endStep < source.programSteps[p] - 1) {
        html << " Sceny po scenie kończącej są szare.";
    }
    html << "</p>\n";
    ChartProgram chart;
    chart.program = &source.image.programs[p];
    chart.steps = source.programSteps[p];
    chart.endHeld = source.hasEndStep[p];
    if (page.other && page.other->programSteps[p] > 0) {
        chart.other = &page.other->image.programs[p];
        chart.otherSteps = page.other->programSteps[p];
    }
    html << chartSvg(chart, p + 1);
    programTable(page, p);
    html << "</section>\n";
}

void differencesSection(Page& page) {
    std::ostringstream& html = page.html;
    const std::vector<Difference> differences = sourceDifferences(page.source, *page.other);
    html << "<section id=\"roznice\">\n<h2>Różnice: " << differences.size() << "</h2>\n";
    if (differences.empty()) {
        html << "<p>Źródła A i B nie różnią się w tym, co oba zawierają.</p>\n";
    } else {
        html << "<p class=\"note\">Wartość A &lt;&gt; wartość B.</p>\n<ol class=\"differences\">\n";
        for (const Difference& d : differences) html << "<li>" << htmlEscape(d.text) << "</li>\n";
        html << "</ol>\n";
    }
    html << "</section>\n";
}

}  // namespace

ReportSource controllerSource(const std::string& port, const ConfigImage& image, const std::string& firmware) {
    ReportSource source;
    source.port = port;
    source.firmware = firmware;
    source.image = image;
    source.hasSettings = source.hasScenes = true;
    source.programSteps = {kStepCount, kStepCount};
    source.hasEndStep = {true, true};
    return source;
}

FileLoadResult addFileToSource(const ConfigFile& file, ReportSource& source) {
    const auto taken = [&](const std::string& what) {
        return FileLoadResult{false, file.path + ": " + what + " już w innym pliku tego raportu"};
    };
    switch (file.kind) {
        case FileKind::Backup:
            if (source.hasSettings || source.hasScenes || source.programSteps[0] || source.programSteps[1]) {
                return taken("kopia zapasowa zawiera wszystkie obszary, a część z nich jest");
            }
            source = controllerSource("", file.image, file.info.firmware);
            source.created = file.info.created;
            source.site = file.info.site;
            source.customer = file.info.customer;
            source.note = file.info.note;
            break;
        case FileKind::Settings:
            if (source.hasSettings) return taken("ustawienia są");
            source.image.common = file.image.common;
            source.image.channels = file.image.channels;
            source.hasSettings = true;
            break;
        case FileKind::Scenes:
            if (source.hasScenes) return taken("sceny są");
            source.image.scenes = file.image.scenes;
            source.hasScenes = true;
            break;
        case FileKind::Program: {
            const int p = areaOfFileName(file.path) == ConfigArea::Program2 ? 1 : 0;
            if (source.programSteps[p]) return taken(std::string(areaPolishName(p ? ConfigArea::Program2 : ConfigArea::Program1)) + " jest");
            source.image.programs[p].steps = file.image.programs[0].steps;
            source.programSteps[p] = programFileSteps();
            break;
        }
    }
    source.files.push_back(file.path);
    return {true, {}};
}

std::vector<Difference> sourceDifferences(const ReportSource& a, const ReportSource& b) {
    std::vector<Difference> differences;
    const auto add = [&](ConfigArea area, int steps, bool endStep) {
        const std::vector<Difference> found =
            compareFields(listAreaFields(a.image, area, steps, endStep), listAreaFields(b.image, area, steps, endStep));
        differences.insert(differences.end(), found.begin(), found.end());
    };
    if (a.hasSettings && b.hasSettings) add(ConfigArea::Settings, 0, false);
    if (a.hasScenes && b.hasScenes) add(ConfigArea::Scenes, 0, false);
    for (int p = 0; p < kProgramCount; ++p) {
        const int steps = std::min(a.programSteps[p], b.programSteps[p]);
        const bool endStep = a.hasEndStep[p] && b.hasEndStep[p];
        if (steps > 0 || endStep) add(p == 0 ? ConfigArea::Program1 : ConfigArea::Program2, steps, endStep);
    }
    return differences;
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : printableText(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string reportHtml(const ReportSource& source, const ReportSource* other, const ReportVisit& given) {
    ReportVisit visit = given;
    // What the command line leaves out comes from the backups, the first source first.
    for (const ReportSource* part : {&source, other}) {
        if (!part) continue;
        if (visit.site.empty()) visit.site = part->site;
        if (visit.customer.empty()) visit.customer = part->customer;
        if (visit.note.empty()) visit.note = part->note;
    }
    Page page{source, other, {}};
    header(page, visit);
    settingsSection(page);
    scenesSection(page);
    for (int p = 0; p < kProgramCount; ++p) programSection(page, p);
    if (other) differencesSection(page);

    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"pl\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<title>Kd215 – raport konfiguracji</title>\n<style>"
        << kStyle << sheetFooter(visit) << "</style>\n</head>\n<body>\n"
        << page.html.str() << "</body>\n</html>\n";
    return out.str();
}

}  // namespace kd215
