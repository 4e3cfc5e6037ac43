#include "output/console_output.h"

#include <array>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tests/stdout_capture.h"

namespace {

struct MessageCase {
  const char* title;
  std::array<std::wstring, 3> pieces;  // the pieces of one message; missing ones are empty
  std::string bytes;                   // as they reach a file through the runtime's text mode
};

void PrintTo(const MessageCase& row, std::ostream* out) { *out << row.title; }

class Message : public ::testing::TestWithParam<MessageCase> {};

TEST_P(Message, BecomesExactlyTheseBytes) {
  const MessageCase& row = GetParam();
  StdoutCapture capture;
  PrintMessage({row.pieces[0], row.pieces[1], row.pieces[2]});
  EXPECT_EQ(row.bytes, capture.Finish());
}

const std::wstring kChunk(4096, L'x');

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Pieces, Message,
    ::testing::Values(
        MessageCase{"PiecesInOrderEmptyOnesIncluded", {L"Play", L"", L"back"}, "Playback"},
        MessageCase{"LineFeedBecomesCrLf", {L"one\ntwo\n"}, "one\r\ntwo\r\n"},
        MessageCase{"LatinOneAsItsOwnByte", {L"R\u00E9altek \u0080\u00FF"}, "R\xE9" "altek \x80\xFF"},
        MessageCase{"AboveLatinOneAsQuestionMark", {L"\u0100 \u626C\u58F0\u5668"}, "? ???"},
        MessageCase{"OutsideBasicPlaneAsTwoAndHalvesAsOne", {L"\U0001F3A7 \xD800|\xDFFF"},
                    "?? ?|?"},
        MessageCase{"PercentSignsAreNoFormat", {L"100% %s %n %08X"}, "100% %s %n %08X"},
        MessageCase{"ControlCharactersAndNulAsThemselves", {std::wstring(L"\t\r\x07\0.", 5)},
                    std::string("\t\r\x07\0.", 5)},
        // One write to the runtime holds 4096 bytes; longer messages come out whole.
        MessageCase{"ExactlyOneWrite", {kChunk}, std::string(4096, 'x')},
        MessageCase{"OneByteMore", {kChunk, L"\u0100", L"\n"}, std::string(4096, 'x') + "?\r\n"},
        MessageCase{"ManyWrites", {std::wstring(40000, L'y') + L"\n\u00FF"},
                    std::string(40000, 'y') + "\r\n\xFF"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return info.param.title; });
// clang-format on

TEST(Hex32Text, IsEightUpperCaseDigitsMostSignificantFirst) {
  EXPECT_EQ(L"8ABCDEF9", Hex32Text(0x8ABCDEF9u).View());
  EXPECT_EQ(L"01234567", Hex32Text(0x01234567u).View());
  EXPECT_EQ(L"00000000", Hex32Text(0).View());
}

}  // namespace
