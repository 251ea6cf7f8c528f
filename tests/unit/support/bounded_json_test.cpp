#include "support/bounded_json.h"

#include <gtest/gtest.h>
#include <string>

using namespace ovra;

namespace {

std::string nested(int depth, char open, const std::string& inner, char close) {
    return std::string(std::size_t(depth), open) + inner + std::string(std::size_t(depth), close);
}

std::string nestedObjects(int depth) {
    std::string text = "1";
    for (int i = 0; i < depth; ++i)
        text = R"({"a":)" + text + "}";
    return text;
}

TEST(BoundedJson, NestingUpToTheLimitParsesAndDeeperIsMalformed) {
    for (const std::string& text :
         {nested(BoundedJson::maxDepth, '[', "1", ']'), nestedObjects(BoundedJson::maxDepth)}) {
        const auto value = BoundedJson::parse(text.data(), text.data() + text.size());
        EXPECT_FALSE(value.is_discarded());
    }
    for (const std::string& text :
         {nested(BoundedJson::maxDepth + 1, '[', "1", ']'),
          nestedObjects(BoundedJson::maxDepth + 1), std::string(8 * 1024 * 1024, '['),
          std::string("{\"a\":1} trailing"), std::string()}) {
        const auto value = BoundedJson::parse(text.data(), text.data() + text.size());
        EXPECT_TRUE(value.is_discarded()) << text.substr(0, 40);
    }
    EXPECT_EQ(BoundedJson::parse(QByteArray(R"({"k":["v"]})"))["k"][0], "v");
}

} // namespace
