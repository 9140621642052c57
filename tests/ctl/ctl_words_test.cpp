// kd215ctl's words: the difference line of each kind of field, which program a file's name says,
// help per command and the nearest word after a slip, and the README's JSON table against the program's.

#include "commands/ctl_json.h"
#include "records/config_text.h"
#include "support/ctl_harness.h"

namespace kd215 {
namespace {

TEST(DifferenceRecord, SaysEachKindOfFieldAsTheEditorsShowIt) {
    ConfigImage controller = defaultConfigImage();
    controller.common = {2, 0, 25, 35};
    ConfigImage file = controller;
    file.common = {5, 1, 30, 35};
    controller.channels[2] = {0, 200, 10, 20, 30, 0, 0};
    file.channels[2] = {128, 201, 11, 21, 31, 0, 0};
    file.channels[4].inputInverted = 1;
    controller.scenes[1].levels[4] = 127;
    file.scenes[1].levels[4] = 128;
    controller.scenes[1].riseTime = 3;
    file.scenes[1].riseTime = 7;
    controller.programs[0].endStep = 9;
    file.programs[0].endStep = 3;
    controller.programs[1].steps[10].riseTime = 1;
    file.programs[1].steps[10].riseTime = 2;
    file.programs[1].steps[10].duration = controller.programs[1].steps[10].duration + 600;

    std::vector<Difference> found;
    for (const AreaBlock& block : kAreaBlocks) {
        const auto area = compareFields(listAreaFields(controller, block.area), listAreaFields(file, block.area),
                                        kControllerAndFile);
        found.insert(found.end(), area.begin(), area.end());
    }
    const unsigned duration = controller.programs[1].steps[10].duration;
    const std::vector<std::string> expected = {
        "tryb pracy: sterownik 2 (Automatyczna), plik 5 (Program 1)",
        "wejście wspólne (9): sterownik 0 (Normalne), plik 1 (Inwersja)",
        "czas załączania: sterownik 25, plik 30",
        "kanał 3 limit dolny: sterownik 0 (0%), plik 128 (50%)",
        "kanał 3 limit górny: sterownik 200 (78%), plik 201 (78%)",
        "kanał 3 czas narastania: sterownik 10, plik 11",
        "kanał 3 czas trwania: sterownik 20, plik 21",
        "kanał 3 czas opadania: sterownik 30, plik 31",
        "kanał 5 inwersja wejścia: sterownik nie, plik tak",
        "scena 2 kanał 5: sterownik 127 (49%), plik 128 (50%)",
        "scena 2 czas narastania: sterownik 3, plik 7",
        "program 1 scena kończąca: sterownik scena 10, plik scena 4",
        "program 2 scena 11 czas narastania: sterownik 1, plik 2",
        "program 2 scena 11 czas trwania: sterownik " + std::to_string(duration) + ", plik " + std::to_string(duration + 600),
    };
    std::vector<std::string> lines;
    for (const Difference& d : found) lines.push_back(d.text);
    ASSERT_EQ(lines, expected);

    // Scene and channel counted from 1, and absent where the field has none.
    EXPECT_EQ(differenceJson(found[9]).dump(),
              R"({"area":"scenes","field":"levels","scene":2,"channel":5,"first":127,"second":128,"text":")" +
                  expected[9] + "\"}");
    EXPECT_EQ(differenceJson(found[11]).dump(),
              R"({"area":"program1","field":"endStep","first":9,"second":3,"text":")" + expected[11] + "\"}");
    EXPECT_EQ(compareFields(listAreaFields(controller, ConfigArea::Scenes), listAreaFields(file, ConfigArea::Scenes))[0].text,
              "scena 2 kanał 5: 127 (49%) <> 128 (50%)");
}

// A program file says which program it holds only by its name, in whatever case it was typed.
TEST_F(CtlFolderTest, AProgramFileNamedPg2InAnyCaseIsProgramTwoToDiffShowAndReport) {
    const auto write = [&](const std::string& name, std::size_t size, char first) {
        return file(name, first + std::string(size - 1, '\0'));
    };
    const std::string upper = write("hala.PG2", 144, 'x'), mixed = write("inna.Pg2", 144, 'y');
    const CtlRun diff = ctl({"diff", upper, mixed, "--json"});
    EXPECT_EQ(diff.code, 1);
    EXPECT_NE(diff.out.find(R"({"area": "program2", "field": "levels", "scene": 1, "channel": 1)"), std::string::npos) << diff.out;
    // Named a program file, it is one whatever its size.
    const CtlRun show = ctl({"show", write("sceny.PG2", 80, 0)});
    EXPECT_EQ(show.code, 5);
    EXPECT_NE(show.err.find("Plik ma 80 bajtów, a plik programu (.pg1, .pg2) ma 144 bajty."), std::string::npos) << show.err;
    // Beside a program 1 file, the second program of one report, not program 1 twice.
    const CtlRun report = ctl({"report", write("hala.pg1", 144, 0), upper, "-o", path("r.html")});
    EXPECT_EQ(report.code, 0) << report.err;
}

TEST(Kd215ctlHelp, EachCommandHasItsOwnPageAndASlipGetsTheNearestWord) {
    const CtlRun page = ctl({"help", "backup"});
    EXPECT_EQ(page.code, 0);
    EXPECT_EQ(page.out, ctl({"backup", "--help"}).out);
    EXPECT_EQ(page.out.rfind("Użycie: kd215ctl backup (--port PORT [--port PORT]... | --ports-from PLIK | --all) PLIK [--site TEKST]", 0), 0u) << page.out;
    std::size_t examples = 0;
    for (std::size_t at = page.out.find("\n  kd215ctl backup "); at != std::string::npos;
         at = page.out.find("\n  kd215ctl backup ", at + 1)) {
        ++examples;
    }
    EXPECT_EQ(examples, 2u) << page.out;
    EXPECT_EQ(page.out.find("--no-verify"), std::string::npos) << "an option backup does not take";
    EXPECT_NE(page.out, ctl({"report", "--help"}).out);

    const std::vector<std::pair<std::vector<std::string>, std::string>> slips = {
        {{"bakup"}, "kd215ctl: nieznane polecenie \"bakup\". Czy chodziło o backup? (pomoc: kd215ctl help)\n"},
        {{"help", "vrfy"}, "Czy chodziło o verify?"},
        {{"ports", "--prot", "x"}, "nieznana opcja --prot. Czy chodziło o --port?"},
    };
    for (const auto& [args, message] : slips) {
        const CtlRun run = ctl(args);
        EXPECT_EQ(run.code, 2) << args[0];
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_EQ(ctl({"frobnicate"}).err.find("Czy chodziło"), std::string::npos);
}

TEST_F(CtlFolderTest, OneAreaFileForSeveralAreasIsAUsageError) {
    const std::vector<uint8_t> bytes = encodeAreaFile(defaultConfigImage(), ConfigArea::Settings);
    const std::string settings = file("one-area.ust", std::string(bytes.begin(), bytes.end()));
    // Refused before the port is opened: this one does not exist.
    const CtlRun run = ctl({"verify", "settings", "scenes", "--port", "kd215-no-such-line", settings});
    EXPECT_EQ(run.code, 2) << run.err;
    EXPECT_NE(run.err.find("kd215ctl: " + settings + ": podano 2 obszary"), std::string::npos) << run.err;
}

// The README's table of JSON results, row by row: `name` | `{"key", ...}`.
TEST(Kd215ctlReadme, JsonTableListsEveryShapeTheProgramPrints) {
    const std::string readme = readFile(std::string(KD215_SOURCE_DIR) + "/README.md");
    std::vector<std::string> documented;
    std::istringstream lines(readme);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::size_t nameEnd = line.find('`', 3);
        const std::string name = line.substr(3, nameEnd - 3);
        const std::string shape = jsonShapeOf(name);
        const std::size_t cell = line.find("| `{", nameEnd);
        if (shape.empty() || cell == std::string::npos) continue;
        const std::string written = line.substr(cell + 3, line.find("}`", cell) - cell - 2);
        EXPECT_EQ(jsonShapeKeys(written), jsonShapeKeys(shape)) << name;
        documented.push_back(name);
    }
    std::vector<std::string> shapes;
    for (const CommandRow& command : commandTable()) shapes.push_back(command.name);
    for (const JsonShape& record : kJsonRecords) shapes.push_back(record.name);
    for (const std::string& name : shapes) {
        EXPECT_NE(std::find(documented.begin(), documented.end(), name), documented.end()) << name << " not in README";
    }
}

}  // namespace
}  // namespace kd215
