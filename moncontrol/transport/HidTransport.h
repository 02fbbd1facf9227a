// Moves signed requests to a monitor's HID control interface and brings back its replies and
// unsolicited messages. Results are byte counts or 0, failures the negative status codes.
#pragma once

#include <chrono>
#include <cstdint>

#include "foundation/clock/Clock.h"
#include "moncontrol/hid/HidApi.h"

// Largest request WriteData stages: header and 991 payload bytes.
inline constexpr std::int32_t kWriteDataLimit = 1024;
// Every read of a SendCommand exchange waits this long.
inline constexpr int kExchangeReadTimeoutMs = 200;
// However a monitor trickles its replies, one command ends within this on the one clock,
// retries and pauses included: the retry counts alone would let it hold the device for hours.
inline constexpr std::chrono::milliseconds kCommandDeadline{60000};

// One reply or message into buffer (header at 0, payload at 32). timeoutMs -1 waits without
// limit on each read. The message's byte count, MC_ERR_INVALID_ARG, or MC_ERR_READ_FAILED when
// it stays incomplete, would not fit in length bytes or is not complete within kCommandDeadline.
std::int32_t ReadData(mchid::hid_device* device, std::int32_t length, std::uint8_t* buffer,
                      std::int32_t timeoutMs);
// As ReadData, reading no more once the clock has passed deadline.
std::int32_t ReadDataBy(mchid::hid_device* device, std::int32_t length, std::uint8_t* buffer,
                        std::int32_t timeoutMs, tarvik::Clock::TimePoint deadline);

// Writes a request of at most kWriteDataLimit bytes in as many reports as it takes. The bytes
// written (at least length), MC_ERR_INVALID_ARG, or MC_ERR_WRITE_FAILED after ten failed
// writes in a row.
std::int32_t WriteData(mchid::hid_device* device, std::int32_t length, const std::uint8_t* request);
// As WriteData, of any length, with a log line per partial write; MC_ERR_NO_MEMORY when the
// request cannot be staged.
std::int32_t WriteIsp2Hid(mchid::hid_device* device, std::int32_t length,
                          const std::uint8_t* request);

// One request/reply exchange with retries by the reply's status. buffer holds the signed
// request on entry and the reply after success (its byte count through received). 0, or
// MC_ERR_INVALID_ARG, MC_ERR_NO_MEMORY, MC_ERR_NO_REPLY, MC_ERR_STATUS_BASE + status (the
// monitor's refusal), MC_ERR_STATUS_BASE + 1 (a reply for another command),
// MC_ERR_STATUS_BASE + MC_ERR_NO_REPLY (every write failed), MC_ERR_BAD_REPLY (a refusal
// whose status has no code); MC_ERR_NO_REPLY too when kCommandDeadline passes first. timeoutMs must be -1 or at least 0; reads wait
// kExchangeReadTimeoutMs whatever it is. After a failure the buffer's content is undefined.
std::int32_t SendCommand(mchid::hid_device* device, std::int32_t bufLen, std::uint8_t* buffer,
                         std::int32_t* received, std::int32_t timeoutMs);

// Writes a request that has no reply (its length from its header). 0 with the bytes written
// through written, MC_ERR_INVALID_ARG, or MC_ERR_NO_REPLY when five tries failed.
std::int32_t SendCommandNoReply(mchid::hid_device* device, std::int32_t unused,
                                const std::uint8_t* request, std::int32_t* written,
                                std::int32_t timeoutMs);

mchid::hid_device* OpenIsp2Hid(std::uint16_t vendorId, std::uint16_t productId,
                               const wchar_t* serial, std::int32_t interfaceNumber);
void CloseIsp2Hid(mchid::hid_device* device);
