// The project check against the image the builder makes of the same project, over projects made
// from a fixed list of seeds: every value the check calls cut or defaulted is in the image other
// than typed, and every value the check says nothing about is in the image as typed.
#include "image/image_builder.h"
#include "image/project_check.h"
#include "platform/error.h"
#include "tests/image/random_project.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::MakeRandomProject;
using test::Value;

// Findings that say the device gets a value other than the one typed.
bool changesTheValue(const Finding& finding)
{
    static const std::set<std::string> codes = {"field-width", "not-integer", "fixed-value"};
    return codes.contains(finding.code);
}

// A finding that names the value the device gets: "…; the device gets 1".
std::optional<std::int64_t> valueGiven(const Finding& finding)
{
    const std::string mark = "; the device gets ";
    const std::size_t at = finding.message.rfind(mark);
    if (at == std::string::npos) return std::nullopt;
    return std::stoll(finding.message.substr(at + mark.size()));
}

TEST(CheckAgainstImage, EveryVerdictAgreesWithWhatTheImageHolds)
{
    std::size_t built = 0, refused = 0, silent = 0, changed = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::TempFolder folder;
        const std::vector<Value> values = MakeRandomProject(folder.path(), seed);
        const std::vector<Finding> findings = CheckProject(folder.path());
        auto image = std::make_unique<ConfigurationImage>();
        try {
            BuildConfigurationImage(*image, folder.path(), FixedClock({2026, 12, 10, 12, 0, 0}));
        } catch (const Error& e) {
            ++refused;
            EXPECT_GT(CountFindings(findings, Severity::Error), 0u) << "the check found no error in a refused build: " << e.what();
            continue;
        }
        ++built;
        for (const Value& value : values) {
            std::vector<const Finding*> about;
            for (const Finding& f : findings)
                if (f.document == value.document && f.row == value.row && f.attribute == value.attribute) about.push_back(&f);
            const std::int64_t stored = value.stored(*image);
            const std::string place = value.document + (value.row ? ", row " + std::to_string(*value.row) : "") + ", " +
                                      value.attribute + " \"" + value.typed.text + "\"";
            if (about.empty()) {
                ++silent;
                ASSERT_TRUE(value.typed.number) << place << ": the check is silent about a text that is no number";
                EXPECT_EQ(stored, *value.typed.number) << place << ": the check is silent, the image holds another value";
                continue;
            }
            for (const Finding* f : about) {
                if (const std::optional<std::int64_t> given = valueGiven(*f)) {
                    EXPECT_EQ(stored, *given) << place << ": " << FindingLine(*f);
                }
                if (!changesTheValue(*f)) continue;
                ++changed;
                EXPECT_NE(std::optional(stored), value.typed.number) << place << ": " << FindingLine(*f);
            }
        }
    }
    // The seeds reach every verdict.
    EXPECT_GT(built, 250u);
    EXPECT_GT(refused, 0u);
    EXPECT_GT(changed, 100u);
    EXPECT_GT(silent, 1000u);
}

}  // namespace
}  // namespace trelvant
