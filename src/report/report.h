// The configuration report: one self-contained HTML page for the screen and for A4 paper, made
// from the controller, a backup or area files, and optionally set against a second source.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "config/config_image.h"
#include "records/config_files.h"
#include "records/config_text.h"

namespace kd215 {

// What one side of the report shows and where it came from. Area files hold only parts of the
// configuration; the report says which parts are missing rather than showing defaults as data.
struct ReportSource {
    std::string port;                  // read from the controller on this port; "" for files
    std::string firmware;              // as the controller reported it, or as a backup recorded it
    std::string created;               // when a backup was made, as it says
    std::string site;                  // as a backup records them; "" when not
    std::string customer;
    std::string note;
    std::vector<std::string> files;
    ConfigImage image = defaultConfigImage();
    bool hasSettings = false;
    bool hasScenes = false;
    std::array<int, kProgramCount> programSteps{};  // steps held: 14, 12 from a program file, or 0
    std::array<bool, kProgramCount> hasEndStep{};
};

// Everything, as read from the controller on `port`.
ReportSource controllerSource(const std::string& port, const ConfigImage& image, const std::string& firmware);
// Lays what a loaded file holds into `source`: a backup everything, an area file its area (a .pg2
// file program 2, any other program file program 1). Refuses a second file for an area.
FileLoadResult addFileToSource(const ConfigFile& file, ReportSource& source);

// A backup's ISO 8601 stamp ("2026-12-09T14:05:31+01:00") as a customer reads it on the sheets:
// "9 grudnia 2026, 14:05 (UTC+01:00)"; any other text is shown as it stands.
std::string customerDateText(const std::string& iso);
// Text made safe for HTML content and quoted attribute values.
std::string htmlEscape(const std::string& text);
// Who and where the report is for, and when it was made (in the form a backup records it). A text
// left empty is taken from the sources' backups, the first source first.
struct ReportVisit {
    std::string site;
    std::string customer;
    std::string note;
    std::string madeAt;
};

// What both sources hold differently, field by field, in the one difference record's lines: an
// area file holds one area, a program file 12 steps and no end step.
std::vector<Difference> sourceDifferences(const ReportSource& a, const ReportSource& b);

// The page. With `other` every value the two sources both hold is compared, differences marked
// in the tables and charts and listed at the end. Every printed sheet ends in a footer with the
// site, the date and "strona N z M".
std::string reportHtml(const ReportSource& source, const ReportSource* other, const ReportVisit& visit);

}  // namespace kd215
