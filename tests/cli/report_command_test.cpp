#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;

const std::filesystem::path kReports = TRELVANT_REPORT_DATA;

// The example project, one with a finding of every kind on its registers, and one with
// destination-specific and data page 1 PGNs, remote requests and Write J1939 in effect.
std::string project(const std::string& name)
{
    return name == "Boiler2" ? std::string(TRELVANT_EXAMPLE_PROJECT) : (kReports / name).string();
}

TEST(ReportCommand, WritesTheGoldenReportOfEachFormat)
{
    const std::map<std::string, std::string> extensions = {{"text", "txt"}, {"csv", "csv"}, {"markdown", "md"}};
    for (const std::string name : {"Boiler2", "Findings", "Pdu1"})
        for (const auto& [format, extension] : extensions) {
            SCOPED_TRACE(name + " as " + format);
            const test::ToolRun run = RunTool({"report", project(name), "--format", format});
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.out, ReadText(kReports / "golden" / (name + "." + extension)));
        }
    // Text is the default.
    EXPECT_EQ(RunTool({"report", project("Pdu1")}).out, ReadText(kReports / "golden" / "Pdu1.txt"));
}

// The page parses as XML, stands alone, and has one row per register with its findings marked.
TEST(ReportCommand, TheHtmlPageHoldsEveryRegisterAndMarksItsFindings)
{
    const test::ToolRun run = RunTool({"report", project("Findings"), "--format", "html"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    pugi::xml_document page;
    ASSERT_TRUE(page.load_string(run.out.c_str())) << "not well-formed";
    EXPECT_TRUE(page.select_nodes("//script | //link | //img | //iframe | //*[@src] | //*[@href]").empty());
    EXPECT_EQ(run.out.find("url("), std::string::npos);
    EXPECT_NE(run.out.find("@page { size: A4 landscape"), std::string::npos);
    EXPECT_EQ(page.select_node("/html/head/title").node().text().as_string(), std::string("Register map of Findings"));

    struct Row {
        std::string reg, direction, rowClass;
    };
    std::vector<Row> rows;
    for (const pugi::xpath_node& tr : page.select_nodes("//table[@id='registers']/tbody/tr")) {
        const pugi::xml_node cells = tr.node();
        rows.push_back({cells.child("td").text().as_string(), cells.child("td").next_sibling("td").text().as_string(),
                        cells.attribute("class").as_string()});
    }
    const std::vector<std::vector<std::string>> expected = {
        {"5", "CAN to Modbus", "error"},   {"5", "pargen.xml", ""},         {"6", "CAN to Modbus", "warning"},
        {"6", "Modbus to CAN", "error"},   {"7", "CAN to Modbus", "warning"}, {"8", "CAN to Modbus", "error"},
        {"9", "Modbus to CAN", "warning"}, {"9", "Modbus to CAN", "error"},  {"10", "Modbus to CAN", "error"},
        {"4464", "CAN to Modbus", "error"}, {"? (\"abc\")", "CAN to Modbus", "error"},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        EXPECT_EQ(rows[i].reg, expected[i][0]);
        EXPECT_EQ(rows[i].direction, expected[i][1]);
        EXPECT_EQ(rows[i].rowClass, expected[i][2]);
    }
    // The frame that shares its PGN and device with another carries its finding.
    EXPECT_NE(page.select_node("//section[h3[starts-with(., 'Frame 2 EEC1 again')]]//span[@class='error']"), nullptr);
}

TEST(ReportCommand, OutputReplacesTheFileWholeOrTellsWhy)
{
    TempFolder folder;
    const std::filesystem::path file = folder / "map.csv";
    test::WriteText(file, "an older report that is longer than the new one\n" + std::string(4096, 'x'));
    const test::ToolRun run = RunTool({"report", project("Pdu1"), "--format", "csv", "--output", file.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadText(file), ReadText(kReports / "golden" / "Pdu1.csv"));

    // A folder where the file would go: nothing is written and the reason is told.
    std::filesystem::create_directory(folder / "taken");
    const test::ToolRun refused = RunTool({"report", project("Pdu1"), "--output", (folder / "taken").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("Unable to write to"), std::string::npos) << refused.err;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));
}

}  // namespace
}  // namespace trelvant
