// The status codes that the library's functions return: 0 for success, a negative code for
// a failure.
#pragma once

#include <cstdint>

inline constexpr std::int32_t MC_OK = 0;
inline constexpr std::int32_t MC_ERR_NULL_DEVICE = -1001;
inline constexpr std::int32_t MC_ERR_NO_MEMORY = -1003;
inline constexpr std::int32_t MC_ERR_INVALID_ARG = -1004;
inline constexpr std::int32_t MC_ERR_NO_REPLY = -1005;
inline constexpr std::int32_t MC_ERR_WRITE_FAILED = -1006;
inline constexpr std::int32_t MC_ERR_READ_FAILED = -1007;
inline constexpr std::int32_t MC_ERR_BAD_REPLY = -1008;
inline constexpr std::int32_t MC_ERR_SIGN_ARGS = -1009;
inline constexpr std::int32_t MC_ERR_MCU_VERSION = -1010;
inline constexpr std::int32_t MC_ERR_MUTEX = -1115;
// Daisy-chain step f (0 to 3) failing with reason k: MC_ERR_DAISY_BASE - 10 * f - k.
inline constexpr std::int32_t MC_ERR_DAISY_BASE = -1300;
// A refusal with reply status s: MC_ERR_STATUS_BASE + s.
inline constexpr std::int32_t MC_ERR_STATUS_BASE = -2000;
