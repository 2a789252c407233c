#pragma once
// What the user is told when a wave device operation fails: each operation
// has its own text for each failing result, and DeviceMessage is the one
// place where a result becomes that text.

#include "platform/wave_service.h"

// The messages of the device operations, exactly as the user sees them.
namespace wave_engine_messages {
inline constexpr const char* kInputBadDeviceId =
    "Specified input device identifier is out of range!";
inline constexpr const char* kInputAllocated = "Specified input resource is already allocated!";
inline constexpr const char* kInputNoDriver = "No input device driver is present!";
inline constexpr const char* kInputNoMemoryOpen = "Unable to allocate or lock memory for input!";
inline constexpr const char* kInputBadFormat = "Unsupported input Wave Format!";
inline constexpr const char* kInputOpenOther = "Error in opening wave in device!";
inline constexpr const char* kOutputBadDeviceId =
    "Specified output device identifier is out of range!";
inline constexpr const char* kOutputAllocated = "Specified output resource is already allocated!";
inline constexpr const char* kOutputNoDriver = "No output device driver is present!";
inline constexpr const char* kOutputNoMemoryOpen =
    "Unable to allocate or lock memory for output device!";
inline constexpr const char* kOutputBadFormat = "Unsupported output Wave Format!";
inline constexpr const char* kOutputOpenOther = "Error in opening wave out device!";
inline constexpr const char* kPrepareInvalidHandle = "Invalid device Handle for Preparation!";
inline constexpr const char* kInputNoMemory = "Unable to lock/allocate memory for input!";
inline constexpr const char* kOutputNoMemory = "Unable to lock/allocate memory for output!";
inline constexpr const char* kInvalidDeviceId = "Invalid device ID!";
inline constexpr const char* kInputUnprepared = "Input header unprepared!";
inline constexpr const char* kOutputUnprepared = "Output header unprepared!";
inline constexpr const char* kRecordError = "Error recording wave!";
inline constexpr const char* kPlayError = "Error playing wave!";
// A device that stopped working in the middle of a run; the detail names the
// device and the reason.
inline constexpr const char* kInputDeviceFailed = "The input device has stopped working!";
inline constexpr const char* kOutputDeviceFailed = "The output device has stopped working!";
}  // namespace wave_engine_messages

// The device operations whose failures the user is told about.
enum class DeviceOperation {
  kOpenInput,
  kOpenOutput,
  kPrepareInput,   // a header of the input ring
  kPrepareOutput,  // a header of the output ring
  kAddBuffer,      // an empty buffer queued on the input device
  kStartInput,     // recording started (again)
  kWrite,          // a buffer written to the output device
};

// The message for `result` of `operation`; null for success, and for the
// failures of header preparation that have no message of their own.
const char* DeviceMessage(DeviceOperation operation, WaveResult result);
