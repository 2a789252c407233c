#include "engine/device_messages.h"

namespace msg = wave_engine_messages;

namespace {

// The message each failing result of one operation shows. A result whose
// entry is null shows `other`, and nothing when that is null too.
struct ResultMessages {
  const char* badDeviceId = nullptr;
  const char* allocated = nullptr;
  const char* invalidHandle = nullptr;
  const char* noDriver = nullptr;
  const char* noMemory = nullptr;
  const char* badFormat = nullptr;
  const char* unprepared = nullptr;
  const char* other = nullptr;
};

constexpr ResultMessages kInputOpenMessages{.badDeviceId = msg::kInputBadDeviceId,
                                            .allocated = msg::kInputAllocated,
                                            .noDriver = msg::kInputNoDriver,
                                            .noMemory = msg::kInputNoMemoryOpen,
                                            .badFormat = msg::kInputBadFormat,
                                            .other = msg::kInputOpenOther};
constexpr ResultMessages kOutputOpenMessages{.badDeviceId = msg::kOutputBadDeviceId,
                                             .allocated = msg::kOutputAllocated,
                                             .noDriver = msg::kOutputNoDriver,
                                             .noMemory = msg::kOutputNoMemoryOpen,
                                             .badFormat = msg::kOutputBadFormat,
                                             .other = msg::kOutputOpenOther};
// A header that cannot be prepared shows these and nothing else.
constexpr ResultMessages kInputPrepareMessages{.invalidHandle = msg::kPrepareInvalidHandle,
                                               .noDriver = msg::kInputNoDriver,
                                               .noMemory = msg::kInputNoMemory};
constexpr ResultMessages kOutputPrepareMessages{.invalidHandle = msg::kPrepareInvalidHandle,
                                                .noDriver = msg::kOutputNoDriver,
                                                .noMemory = msg::kOutputNoMemory};
constexpr ResultMessages kAddBufferMessages{.invalidHandle = msg::kInvalidDeviceId,
                                            .noDriver = msg::kInputNoDriver,
                                            .noMemory = msg::kInputNoMemory,
                                            .unprepared = msg::kInputUnprepared,
                                            .other = msg::kRecordError};
constexpr ResultMessages kStartMessages{.invalidHandle = msg::kInvalidDeviceId,
                                        .noDriver = msg::kInputNoDriver,
                                        .noMemory = msg::kInputNoMemory,
                                        .other = msg::kRecordError};
constexpr ResultMessages kWriteMessages{.invalidHandle = msg::kInvalidDeviceId,
                                        .noDriver = msg::kOutputNoDriver,
                                        .noMemory = msg::kOutputNoMemory,
                                        .unprepared = msg::kOutputUnprepared,
                                        .other = msg::kPlayError};

const ResultMessages& MessagesOf(DeviceOperation operation) {
  switch (operation) {
    case DeviceOperation::kOpenInput:
      return kInputOpenMessages;
    case DeviceOperation::kOpenOutput:
      return kOutputOpenMessages;
    case DeviceOperation::kPrepareInput:
      return kInputPrepareMessages;
    case DeviceOperation::kPrepareOutput:
      return kOutputPrepareMessages;
    case DeviceOperation::kAddBuffer:
      return kAddBufferMessages;
    case DeviceOperation::kStartInput:
      return kStartMessages;
    case DeviceOperation::kWrite:
      break;
  }
  return kWriteMessages;
}

const char* Either(const char* specific, const char* other) {
  return specific ? specific : other;
}

}  // namespace

const char* DeviceMessage(DeviceOperation operation, WaveResult result) {
  const ResultMessages& messages = MessagesOf(operation);
  switch (result) {
    case WaveResult::kOk:
      return nullptr;
    case WaveResult::kBadDeviceId:
      return Either(messages.badDeviceId, messages.other);
    case WaveResult::kAllocated:
      return Either(messages.allocated, messages.other);
    case WaveResult::kInvalidHandle:
      return Either(messages.invalidHandle, messages.other);
    case WaveResult::kNoDriver:
      return Either(messages.noDriver, messages.other);
    case WaveResult::kNoMemory:
      return Either(messages.noMemory, messages.other);
    case WaveResult::kBadFormat:
      return Either(messages.badFormat, messages.other);
    case WaveResult::kUnprepared:
      return Either(messages.unprepared, messages.other);
    default:
      return messages.other;
  }
}
