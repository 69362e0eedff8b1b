// The operation catalogue: names, ordinals, JSON form and fixed fractions.
#include "layout/fixed_clip_values.hpp"
#include "layout/operation_decode_error.hpp"
#include "layout/operation_type.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <string>

namespace tilewise {
namespace {

using nlohmann::json;

std::string decodeFailure(const std::string& text)
{
    try {
        json::parse(text).get<OperationType>();
    } catch (const json::exception& e) {
        return e.what();
    }
    return "decoded";
}

TEST(OperationTypeTest, NamesAreUniqueAndRoundTrip)
{
    std::set<std::string_view> seen;
    for (OperationType op : allOperationTypes()) {
        EXPECT_TRUE(seen.insert(caseName(op)).second) << caseName(op);
        EXPECT_EQ(operationFromName(caseName(op)), op);
    }
    EXPECT_EQ(seen.size(), 77u);
    EXPECT_EQ(operationFromName("tophalf"), std::nullopt);
    EXPECT_EQ(operationFromName("TopHalf "), std::nullopt);
}

TEST(OperationTypeTest, JsonForm)
{
    EXPECT_EQ(json(OperationType::PairFor3).dump(), R"({"PairFor3":{}})");
    EXPECT_EQ(json::parse(R"({"TopHalf":{}})").get<OperationType>(), OperationType::TopHalf);
    // Contents of the member and unknown members are ignored.
    EXPECT_EQ(json::parse(R"({"Bogus":1,"Restore":{"x":1}})").get<OperationType>(), OperationType::Restore);

    for (const char* text : {"{}", R"({"TopHalf":{},"Restore":{}})", R"({"Bogus":{}})", R"({"tophalf":{}})"})
        EXPECT_EQ(decodeFailure(text), "Invalid number of keys found, expected one.") << text;
    for (const char* text : {R"({"TopHalf":1})", R"({"TopHalf":[]})", R"("TopHalf")"})
        EXPECT_NE(decodeFailure(text), "decoded") << text;
}

TEST(OperationTypeTest, FixedClipValuesCoverMaximizeToRightFiveSixths)
{
    EXPECT_EQ(fixedClipValues().size(), 51u);
    for (OperationType op : allOperationTypes()) {
        const bool fixed = ordinal(op) >= 4 && ordinal(op) <= 54;
        const FixedClipValue* v = fixedClipValue(op);
        ASSERT_EQ(v != nullptr, fixed) << caseName(op);
        if (v) {
            EXPECT_EQ(v->operation, op);
        }
    }
}

} // namespace
} // namespace tilewise
