#include <gtest/gtest.h>

#include "overlay/key_commands.h"

using overlay::KeyCommand;
using overlay::MatchKey;

namespace {

TEST(KeyTable, ControlKeysAreRecognisedOnlyAsTheirControlCharacters) {
  EXPECT_EQ(KeyCommand::SaveScreen, MatchKey(19));
  EXPECT_EQ(KeyCommand::OpenImage, MatchKey(12));
  EXPECT_EQ(KeyCommand::ClearDrawing, MatchKey(5));
  EXPECT_EQ(KeyCommand::Leave, MatchKey(27));
  // The plain letters s, l and the key codes of S, L, E do nothing.
  for (short c : {short('s'), short('S'), short('l'), short('L'), short(0x53), short(0x4C)}) {
    EXPECT_EQ(KeyCommand::None, MatchKey(c)) << c;
  }
}

TEST(KeyTable, LettersInEitherCaseExceptTheMagnifierWhichIsLowerCaseOnly) {
  struct Row {
    char lower;
    KeyCommand command;
  } rows[] = {{'p', KeyCommand::TogglePen}, {'c', KeyCommand::Palette}, {'e', KeyCommand::ToggleEraser},
              {'b', KeyCommand::Blue},      {'r', KeyCommand::Red},     {'y', KeyCommand::Yellow},
              {'g', KeyCommand::Green},     {'t', KeyCommand::ArmText}};
  for (const Row& row : rows) {
    EXPECT_EQ(row.command, MatchKey(row.lower)) << row.lower;
    EXPECT_EQ(row.command, MatchKey(static_cast<short>(row.lower - 'a' + 'A'))) << row.lower;
  }
  EXPECT_EQ(KeyCommand::Magnifier, MatchKey('m'));
  EXPECT_EQ(KeyCommand::None, MatchKey('M'));
  EXPECT_EQ(KeyCommand::None, MatchKey('x'));
  EXPECT_EQ(KeyCommand::None, MatchKey(0));
  EXPECT_EQ(KeyCommand::None, MatchKey(9)) << "Tab, held for an ellipse, is no command";
}

TEST(KeyTable, DigitsPickEraserSizesWithTheEraserOnAndPenWidthsWithItOff) {
  const KeyCommand digits[] = {MatchKey('1'), MatchKey('2'), MatchKey('3'), MatchKey('4')};
  const short sizes[] = {8, 16, 24, 32};
  const short widths[] = {5, 10, 15, 20};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(sizes[i], overlay::EraserSizeForKey(digits[i]));
    EXPECT_EQ(widths[i], overlay::PenWidthForKey(digits[i]));
  }
  EXPECT_EQ(KeyCommand::None, MatchKey('5'));
  EXPECT_EQ(KeyCommand::None, MatchKey('0'));
}

}  // namespace
