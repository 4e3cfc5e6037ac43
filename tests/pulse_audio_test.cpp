// The real Quorvane.exe and QuorvaneList.exe against Wine's own device
// enumerator and property stores, which find the null sinks of a private
// PulseAudio daemon. Only the policy class is ours; its call log says which
// identifier it was given.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

// The identifiers a listing names, and those the policy object was told to hide.
std::vector<std::string> Column(const std::string& text, const std::string& lineStart,
                                size_t skipFields) {
  std::vector<std::string> values;
  for (size_t at = 0; (at = text.find(lineStart, at)) != std::string::npos; ++at) {
    size_t start = at;
    for (size_t field = 0; field < skipFields; ++field) {
      start = text.find_first_of("\t ", start) + 1;
    }
    values.push_back(text.substr(start, text.find_first_of("\t ", start) - start));
  }
  return values;
}

TEST(PulseAudio, ListsAndHidesExactlyTheEndpointsWhoseFullNameMatches) {
  SimulatedMachineFiles files("policy any-endpoint\n");
  // Wine's names and states, each sink a playback endpoint and its monitor a recording one.
  const Outcome all = files.List(L"");
  EXPECT_EQ(0u, all.exitCode);
  const std::string lines[] = {
      "Playback\tactive\t{0.0.0.00000000}.{",
      "\tCable Input - Virtual Speakers (VB-Audio Virtual Cable)\r\n",
      "\tSpeakers (High Definition Audio)\r\n",
      std::string("\tHaut-parleurs (R\xE9") + "altek) ???\r\n",
      "Recording\tactive\t{0.0.1.00000000}.{",
      "\tMonitor of Speakers (High Definition Audio)\r\n",
  };
  for (const std::string& line : lines) {
    EXPECT_NE(std::string::npos, all.output.find(line)) << line << " in\n" << all.output;
  }

  const Outcome listed = files.List(L"render \u58F0\u5668");
  const std::vector<std::string> ids = Column(listed.output, "Playback\t", 2);
  ASSERT_EQ(1u, ids.size()) << listed.output;
  const Outcome hidden = files.Run(L"disable render \u58F0\u5668");
  EXPECT_EQ(
      "Playback: Haut-parleurs (R\xE9"
      "altek) ??? -> DISABLED\r\n",
      hidden.output);
  EXPECT_EQ(0u, hidden.exitCode);
  EXPECT_EQ(ids, Column(hidden.callLog, "SetEndpointVisibility ", 1));

  // Every playback endpoint: the listing and Quorvane name the same ones.
  const Outcome every = files.Run(L"disable render \"\"");
  const std::vector<std::string> everyId =
      Column(files.List(L"playback \"\"").output, "Playback\t", 2);
  EXPECT_LE(3u, everyId.size());
  EXPECT_EQ(everyId, Column(every.callLog, "SetEndpointVisibility ", 1));
  EXPECT_EQ("", every.problems);
}

}  // namespace
