#include <wakeward/Instant.h>

#include <chrono>

namespace wakeward {

Instant Instant::now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return fromUnix(std::chrono::duration<double>(sinceEpoch).count());
}

} // namespace wakeward
