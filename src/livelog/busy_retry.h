#pragma once

// How a file call that failed only because another workstation had the file open at that moment is
// tried again. Plain C++, so that the Windows backend's checks under Wine follow the same schedule.

#include <array>
#include <chrono>
#include <thread>

namespace LiveLog {

// How long a post waits for another workstation's post before it gives up, unless told otherwise.
inline constexpr std::chrono::milliseconds defaultLockWait{2000};

// The pauses before each new try.
inline constexpr std::array<int, 6> busyPausesMs{0, 10, 50, 100, 250, 500};

// Sleep takes a std::chrono::milliseconds: the pause before the next try.
template <typename Call, typename IsBusy, typename Sleep>
auto retryWhileBusy(Call call, IsBusy isBusy, Sleep sleep)
{
    auto result = call();
    for (const int pause : busyPausesMs) {
        if (!isBusy(result))
            break;
        sleep(std::chrono::milliseconds(pause));
        result = call();
    }
    return result;
}

template <typename Call, typename IsBusy> auto retryWhileBusy(Call call, IsBusy isBusy)
{
    return retryWhileBusy(call, isBusy,
                          [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); });
}

} // namespace LiveLog
