// The scan answer parser and the key shapes' indices and places.
#include "keyboard/keyboard_answer.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "keyboard/keyboard_commands.h"
#include "keyboard/keyboard_controls.h"

namespace zjig::keyboard {
namespace {

using Bytes = std::vector<uint8_t>;
using Pairs = std::vector<PinPair>;

struct AnswerCase {
    const char* what;
    Bytes answer;
    Pairs pairs;
};

class ParseAnswer : public testing::TestWithParam<AnswerCase> {};

TEST_P(ParseAnswer, ReportsThePairsThatHaveAShape) {
    const AnswerCase& c = GetParam();
    EXPECT_EQ(parseAnswer(c.answer.data(), c.answer.size()), c.pairs);
}

INSTANTIATE_TEST_SUITE_P(
    Keyboard, ParseAnswer,
    testing::Values(
        AnswerCase{"two groups", {62, 3, 7, 9, 62, 12, 20, 38}, {{3, 7}, {3, 9}, {12, 20}}},
        AnswerCase{"no leading group mark", {3, 7, 38}, {{3, 7}}},
        AnswerCase{"end mark alone", {38}, {}}, AnswerCase{"nothing at all", {}, {}},
        AnswerCase{"no end mark: read to the end", {62, 1, 2}, {{1, 2}}},
        AnswerCase{"bytes after the end mark are not read", {62, 1, 2, 38, 62, 3, 4, 38}, {{1, 2}}},
        // Pins 0 and 40 would make key index 8, the shape of pins 1 and 8.
        AnswerCase{"pins 0 and 40", {62, 0, 40, 38}, {}},
        AnswerCase{"pin 33", {62, 1, 33, 38, 62, 33, 34, 38}, {}},
        AnswerCase{"lower pin second or twice", {62, 9, 3, 9, 10, 38}, {{9, 10}}},
        AnswerCase{"widest pairs", {62, 1, 32, 62, 31, 32, 38}, {{1, 32}, {31, 32}}},
        AnswerCase{"empty groups", {62, 62, 5, 62, 38}, {}},
        AnswerCase{"group mark as the last byte", {62, 4, 5, 62}, {{4, 5}}}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(KeyIndex, NamesTheShapeOfEveryPairAndBack) {
    EXPECT_EQ(shapeName(keyIndex({3, 7})), "Shape71");
    EXPECT_EQ(shapeName(keyIndex({3, 9})), "Shape73");
    EXPECT_EQ(shapeName(keyIndex({12, 20})), "Shape372");
    EXPECT_EQ(keyIndex({1, 2}), kFirstKeyIndex);
    EXPECT_EQ(keyIndex({31, 32}), kLastKeyIndex);
    std::set<int> indices;
    for (int i = 1; i <= kPins; ++i)
        for (int j = 1; j <= kPins; ++j) {
            const PinPair pair{i, j};
            if (!hasShape(pair)) continue;
            indices.insert(keyIndex(pair));
            EXPECT_EQ(pairOfKey(keyIndex(pair)), pair);
        }
    EXPECT_EQ(indices.size(), static_cast<size_t>(kPairCount));
    for (int key : {0, 1, 33, 993}) EXPECT_FALSE(hasShape(pairOfKey(key))) << key;
}

TEST(ShapeLayout, AnUpperTriangleWithAGapAfterEveryFifthRowAndColumn) {
    // (left, top) of the first and last shapes.
    EXPECT_EQ(std::make_pair(shapeLeft(2), shapeTop(1)), std::make_pair(20, 40));
    EXPECT_EQ(std::make_pair(shapeLeft(32), shapeTop(31)), std::make_pair(518, 520));
    std::set<std::pair<int, int>> places;
    for (int i = 1; i < kPins; ++i)
        for (int j = i + 1; j <= kPins; ++j) places.insert({shapeLeft(j), shapeTop(i)});
    EXPECT_EQ(places.size(), static_cast<size_t>(kPairCount));
    // One pitch between neighbours, a wider step after every fifth.
    EXPECT_EQ(shapeLeft(4) - shapeLeft(3), kShapePitch);
    EXPECT_EQ(shapeLeft(6) - shapeLeft(5), kShapePitch + 8);
    EXPECT_EQ(shapeTop(2) - shapeTop(1), kShapePitch);
    EXPECT_EQ(shapeTop(6) - shapeTop(5), kShapePitch + 5);
}

}  // namespace
}  // namespace zjig::keyboard
