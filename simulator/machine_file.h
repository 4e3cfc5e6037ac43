#pragma once

// The simulated machine as a UTF-8 text file that a person can read and edit,
// one statement a line; '#' starts a comment line.
//   endpoint render|capture active|unplugged|notpresent shown|hidden ID NAME
//       ID has no blanks; NAME, the friendly name, is the rest of the line.
//       SetEndpointVisibility rewrites shown|hidden, so changes last.
//   refuse ID STATUS
//       SetEndpointVisibility fails for the endpoint ID, listed above, with
//       STATUS in hexadecimal (80070005, access denied), and changes nothing.
//   policy any-endpoint
//       The policy object shows or hides endpoints it was not told of too, for
//       use beside another platform's enumerator.

#include <string>
#include <string_view>
#include <vector>

#include "simulator/simulated_platform.h"

struct SimulatedMachine {
  std::vector<SimulatedEndpoint> endpoints;
  bool policyAcceptsAnyEndpoint = false;
  // Where each endpoint's shown|hidden stands in the text.
  std::vector<size_t> visibilityAt;
  // Lines that could not be understood, each naming its line number.
  std::vector<std::wstring> problems;
};

SimulatedMachine ParseMachineFile(std::string_view text);

// The parsed text with each endpoint's shown|hidden set to its current visibility.
std::string WithCurrentVisibility(std::string text, const std::vector<size_t>& visibilityAt,
                                  const std::vector<SimulatedEndpoint>& endpoints);

std::string Utf8FromWide(std::wstring_view text);
