// The maker's vendor commands (DDC/CI frames with opcode 0xCE and a sub-command), the
// chunked table transfers and the daisy-chain steps. Every command but ReadTable and
// WriteTable is one SEND_CMD_DDCCI exchange per frame, each under the device mutex; a failed
// exchange reaches them as a reply without data. Buffers they hand out come from malloc and
// the caller frees them.
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "moncontrol/hid/HidApi.h"

// The reply data of one vendor command in a 1024-byte zeroed buffer, their count in
// *bufSize (0 when the exchange failed, the reply carried no data, or the payload does not
// fit a frame: at most 125 bytes). Null when memory runs out.
TARVIK_EXPORT std::uint8_t* CallDdcciCmd(mchid::hid_device* handle, std::uint32_t* bufSize, std::uint8_t subCommand,
                                         std::int32_t payloadLength, const std::uint8_t* payload);

// The monitor count; 0 after three attempts without it.
TARVIK_EXPORT std::uint8_t CallGetMonitorCount(mchid::hid_device* handle, std::uint8_t monitorIndex);
// The monitor status, its error code through errorCode (left alone when no reply came);
// 0 on failure.
TARVIK_EXPORT std::uint8_t CallGetMonitorStatus(mchid::hid_device* handle, std::uint8_t monitorIndex,
                                                std::uint8_t* errorCode);
// A 1024-byte buffer starting with the monitor's tagZunMONITORINFO (MonitorInfo.h), or
// null when the table could not be read.
TARVIK_EXPORT std::uint8_t* CallGetMonitorInfo(mchid::hid_device* handle, std::uint8_t monitorIndex);
// A 1024-byte buffer starting with the child's tagCHILDDEVINFO (ChildDevInfo.h), or null.
TARVIK_EXPORT std::uint8_t* CallGetChildInfo(mchid::hid_device* handle, std::uint8_t monitorIndex,
                                             std::uint8_t childIndex);

// The monitor's answer to the notice that every firmware transfer finished; 0 without one.
TARVIK_EXPORT std::uint8_t CallNotifyAllFwTransFinished(mchid::hid_device* handle, std::uint8_t monitorIndex);
// Always 1; the reply is not examined.
TARVIK_EXPORT std::int32_t CallSpecifyUpdateCondition(mchid::hid_device* handle, std::uint8_t monitorIndex,
                                                      std::uint8_t countOfChild, std::uint16_t DebugVersion,
                                                      std::uint16_t ReleaseVersion, std::uint8_t updateCondition,
                                                      std::uint32_t delaySecond);
// The UART's reply as CallDdcciCmd hands it out, or null (bufSize 0) when there is none.
TARVIK_EXPORT std::uint8_t* CallPassUartCommand(mchid::hid_device* handle, std::uint32_t* bufSize,
                                                std::int32_t* payloadLength, const std::uint8_t* payload);

// Daisy-chain sub-function subVcp with its five argument bytes: CallDdcciCmd's buffer.
TARVIK_EXPORT std::uint8_t* CallDaisyChainFunc(mchid::hid_device* handle, std::uint8_t subVcp, std::uint8_t arg1,
                                               std::uint8_t arg2, std::uint8_t arg3, std::uint8_t arg4,
                                               std::uint8_t arg5, std::uint32_t* bufSize);
// The four daisy-chain steps (sub-functions 0 to 3): the reply's result byte, or
// MC_ERR_DAISY_BASE - 10 * step - k: k 0 no reply data, 1 the reply is for another step,
// 2 its failure flag is set.
TARVIK_EXPORT std::int32_t CallDaisyChainSetScalarIICBufferSizeInDaisyChainMode(mchid::hid_device* handle,
                                                                                 std::uint8_t bufferSize);
TARVIK_EXPORT std::int32_t CallDaisyChainNegotiateMonitorReadiness(mchid::hid_device* handle, std::uint8_t arg,
                                                                   std::uint32_t value);
TARVIK_EXPORT std::int32_t CallDaisyChainNotifyScalarPrepareEnvironment(mchid::hid_device* handle);
TARVIK_EXPORT std::int32_t CallDaisyChainNotifyPackageSendFinished(mchid::hid_device* handle, std::uint8_t arg);

// A vendor table (0xA1 monitor information, 0xA2 child device) in a 1024-byte zeroed buffer,
// *outSize bytes of it (0 when the read failed). A longer table stops at 1024 bytes. Null
// when memory runs out.
TARVIK_EXPORT std::uint8_t* CallDdcciReadTableCmd(mchid::hid_device* handle, std::uint32_t* outSize,
                                                  std::uint8_t vcpCode, std::uint8_t monitorIndex,
                                                  std::uint8_t childIndex);
// Sends *length bytes of data in chunks of up to 23, 500 ms apart, counting *length down to
// 0; the replies are not examined. A 6400-byte zeroed buffer, or null (nothing sent) for a
// table longer than 65536 bytes, missing data, or no memory.
TARVIK_EXPORT std::uint8_t* CallDdcciWriteTableCmd(mchid::hid_device* handle, std::uint32_t* length,
                                                   const std::uint8_t* data, std::uint8_t key, std::uint8_t arg1,
                                                   std::uint8_t arg2);

// Reads a table in chunks, 500 ms apart, up to the first failed or empty one, under one
// device-mutex hold; the first *capacity bytes go to buffer, the rest of it zeroed. The bytes
// delivered, MC_ERR_MUTEX, MC_ERR_NO_MEMORY or MC_ERR_INVALID_ARG.
TARVIK_EXPORT std::int32_t ReadTable(mchid::hid_device* handle, std::uint8_t arg1, std::uint8_t arg2,
                                     std::uint8_t arg3, std::uint32_t* capacity, std::uint8_t* buffer);
// Writes a table (at most 65536 bytes) in chunks of up to 32 bytes, 500 ms after each
// exchange, under one device-mutex hold; a failed chunk goes out again, five times at most.
// 0, MC_ERR_MUTEX, MC_ERR_INVALID_ARG, MC_ERR_NO_MEMORY, or the transport's code of the chunk
// that failed.
TARVIK_EXPORT std::int32_t WriteTable(mchid::hid_device* handle, std::uint8_t vcp, std::uint32_t length,
                                      const std::uint8_t* data);
