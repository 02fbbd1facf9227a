#include "foundation/text/TimeText.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"

namespace {

// The last second Windows converts to local time (3000-12-31 23:59:59 UTC); it converts
// nothing before the epoch either. Other platforms are held to the same range.
constexpr std::int64_t kLastLocalTime = 32535215999;

std::tm LocalTime(std::int64_t seconds) {
  if (seconds < 0 || seconds > kLastLocalTime)
    throw std::out_of_range("time value outside the range of local time");
  std::time_t value = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &value) != 0) throw std::runtime_error("localtime_s failed");
#else
  if (localtime_r(&value, &local) == nullptr) throw std::runtime_error("localtime_r failed");
#endif
  return local;
}

}  // namespace

std::int64_t GetCurrSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(tarvik::CurrentClock().WallNow().time_since_epoch()).count();
}

std::string ConvertJavaTimestampToString(std::int64_t seconds) {
  try {
    std::tm local = LocalTime(seconds);
    char text[32] = {};
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0)
      throw std::runtime_error("strftime failed");
    return text;
  } catch (const std::exception& e) {
    LogError(L"ConvertJavaTimestampToString Exception caught: (%lld)",
             static_cast<long long>(seconds));
    LogError(L"%S", e.what());
    return {};
  }
}
