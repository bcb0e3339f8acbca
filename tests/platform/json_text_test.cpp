#include "platform/json_text.h"

#include <gtest/gtest.h>

namespace trelvant {
namespace {

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsTheRest)
{
    EXPECT_EQ(JsonString(""), "\"\"");
    EXPECT_EQ(JsonString(R"(a "b" c\d)"), R"("a \"b\" c\\d")");
    EXPECT_EQ(JsonString("line\r\nnext\tend"), R"("line\r\nnext\tend")");
    EXPECT_EQ(JsonString(std::string_view("\x01\x1f", 2)), R"("\u0001\u001f")");
    EXPECT_EQ(JsonString(std::string_view("nul\0", 4)), R"("nul\u0000")");
    EXPECT_EQ(JsonString("Kessel S\xc3\xbc" "d"), "\"Kessel S\xc3\xbc" "d\"");
}

}  // namespace
}  // namespace trelvant
