#pragma once

#include <chrono>
#include <functional>

namespace kovrel {

// Waits for `done` to become true while the event loop keeps running: socket events, timers and user input
// are handled inside the wait, which is how the answers that a caller waits for arrive. Looks at `done`
// about once a millisecond. Returns false when `deadline` passed first; never blocks the interface.
bool WaitWhileProcessingEvents(const std::function<bool()>& done, std::chrono::milliseconds deadline);

} // namespace kovrel
