#pragma once

// How a file call that failed only because another workstation had the file open at that moment is
// tried again. Plain C++, so that the Windows backend's checks under Wine follow the same schedule.

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace LiveLog {

// How long a post waits for another workstation's post before it gives up, unless told otherwise.
inline constexpr std::chrono::milliseconds defaultLockWait{2000};

// The pauses before each new try.
inline constexpr std::array<int, 6> busyPausesMs{0, 10, 50, 100, 250, 500};

template <typename Call, typename IsBusy> auto retryWhileBusy(Call call, IsBusy isBusy)
{
    auto result = call();
    for (const int pause : busyPausesMs) {
        if (!isBusy(result))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        result = call();
    }
    return result;
}

// Where a rename cannot replace a file that is open (the classic Windows rules, also on most SMB
// servers), replacing the log needs a moment in which no reader has it open. Readers hold it only
// briefly but at random, so the writer tries again after short pauses, for up to half the lock's wait:
// a post waiting for this one still gets the lock in time.
template <typename Call, typename IsBusy>
auto retryReplaceWhileBusy(std::chrono::milliseconds lockWait, Call call, IsBusy isBusy)
{
    const auto deadline = std::chrono::steady_clock::now() + lockWait / 2;
    auto result = call();
    for (int round = 0; isBusy(result) && std::chrono::steady_clock::now() < deadline; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(1 << std::min(round, 4), 10)));
        result = call();
    }
    return result;
}

} // namespace LiveLog
