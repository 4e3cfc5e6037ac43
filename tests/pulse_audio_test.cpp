// The real Quorvane.exe against Wine's own device enumerator and property
// stores, which find the null sinks of a private PulseAudio daemon. Only the
// policy class is ours; its journal says which identifier it was given.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/quorvane_process.h"

namespace {

TEST(PulseAudio, HidesExactlyTheEndpointWhoseFullNameMatches) {
  SimulatedMachineFiles files("policy any-endpoint\n");
  const Outcome outcome = files.Run(L"disable render \u58F0\u5668");
  EXPECT_EQ(
      "Playback: Haut-parleurs (R\xE9"
      "altek) ??? -> DISABLED\r\n",
      outcome.output);
  EXPECT_EQ(0u, outcome.exitCode);
  // One policy object, told to hide one of Wine's own playback endpoints.
  ASSERT_EQ(3u, outcome.journal.size()) << "Wine's enumerator does not see the PulseAudio sinks";
  EXPECT_EQ(0u, outcome.journal[1].rfind("SetEndpointVisibility {0.0.0.00000000}.{", 0));
  EXPECT_EQ(" 0", outcome.journal[1].substr(outcome.journal[1].size() - 2));
  EXPECT_EQ(std::vector<std::string>{}, outcome.ledger);
}

}  // namespace
