#pragma once
// The report of one device's data exchange, for the summary on stderr and the JSON document of
// orvendal-cli exchange --json.

#include "app/cli/Session.h"

#include <nlohmann/json.hpp>

namespace orvendal::cli {

using TReport = nlohmann::ordered_json;

// Runs the exchange of the device in row of the session's device table. The report holds the
// device's number and name, the start (UTC) and duration, the outcome ("ok": went to its end
// without a failed step, a warning or an error box; "skipped": the handheld was not docked and
// the run was not to go on without it; else "failed"), the transport, what moved and every
// message box shown with its kind and text.
TReport RunExchange(TSession& session, int row);

// Prints the figures of a report on stderr.
void PrintSummary(const TReport& device);

} // namespace orvendal::cli
