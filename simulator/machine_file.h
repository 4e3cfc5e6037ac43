#pragma once

// The simulated machine as a plain UTF-8 text file that a person can read and
// edit. One statement a line; '#' starts a comment line.
//
//   endpoint FLOW PRESENCE VISIBILITY ID NAME
//       FLOW        render | capture
//       PRESENCE    active | unplugged | notpresent
//       VISIBILITY  shown | hidden
//       ID          the endpoint identifier, without blanks
//       NAME        the friendly name: the rest of the line
//
//   policy any-endpoint
//       The policy object shows or hides endpoints it was not told of, for use
//       beside another platform's enumerator.
//
// SetEndpointVisibility rewrites VISIBILITY in the file, so changes last
// across runs.

#include <string>
#include <string_view>
#include <vector>

#include "simulator/simulated_platform.h"

struct SimulatedMachine {
  std::vector<SimulatedEndpoint> endpoints;
  PlatformFailures failures;
  // Lines that could not be understood, each naming its line number.
  std::vector<std::wstring> problems;
};

SimulatedMachine ParseMachineFile(std::string_view text);

// The same text with each endpoint line's visibility set to the endpoint's
// current one, for a text that parsed without problems.
std::string WithCurrentVisibility(std::string_view text,
                                  const std::vector<SimulatedEndpoint>& endpoints);

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
