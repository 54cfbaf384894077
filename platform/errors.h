// Windows error codes produced by the OS layer, the one errno translation
// table, and the English system message text of each code.
#pragma once

#include "platform/result.h"

#include <string>

namespace platform {

inline constexpr ErrorCode kErrorSuccess = 0;
inline constexpr ErrorCode kErrorInvalidFunction = 1;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorTooManyOpenFiles = 4;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorInvalidHandle = 6;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorInvalidDrive = 15;
inline constexpr ErrorCode kErrorNotSameDevice = 17;
inline constexpr ErrorCode kErrorNoMoreFiles = 18;
inline constexpr ErrorCode kErrorWriteProtect = 19;
inline constexpr ErrorCode kErrorNotReady = 21;
inline constexpr ErrorCode kErrorCrc = 23;
inline constexpr ErrorCode kErrorSeek = 25;
inline constexpr ErrorCode kErrorWriteFault = 29;
inline constexpr ErrorCode kErrorReadFault = 30;
inline constexpr ErrorCode kErrorGenFailure = 31;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorLockViolation = 33;
inline constexpr ErrorCode kErrorHandleEof = 38;
inline constexpr ErrorCode kErrorHandleDiskFull = 39;
inline constexpr ErrorCode kErrorNotSupported = 50;
inline constexpr ErrorCode kErrorFileExists = 80;
inline constexpr ErrorCode kErrorCannotMake = 82;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorBrokenPipe = 109;
inline constexpr ErrorCode kErrorOpenFailed = 110;
inline constexpr ErrorCode kErrorBufferOverflow = 111;
inline constexpr ErrorCode kErrorDiskFull = 112;
inline constexpr ErrorCode kErrorCallNotImplemented = 120;
inline constexpr ErrorCode kErrorInsufficientBuffer = 122;
inline constexpr ErrorCode kErrorInvalidName = 123;
inline constexpr ErrorCode kErrorProcNotFound = 127;
inline constexpr ErrorCode kErrorNegativeSeek = 131;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorBusy = 170;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorFilenameExcedRange = 206;
inline constexpr ErrorCode kErrorMoreData = 234;
inline constexpr ErrorCode kErrorNoMoreItems = 259;
inline constexpr ErrorCode kErrorDirectory = 267;
inline constexpr ErrorCode kErrorNotOwner = 288;
inline constexpr ErrorCode kErrorPartialCopy = 299;
inline constexpr ErrorCode kErrorNoUnicodeTranslation = 1113;
inline constexpr ErrorCode kErrorCancelled = 1223;
inline constexpr ErrorCode kErrorCantResolveFilename = 1921;
inline constexpr ErrorCode kErrorBadPathname = 161;
inline constexpr ErrorCode kErrorBadExeFormat = 193;
inline constexpr ErrorCode kErrorTimeout = 1460;
inline constexpr ErrorCode kErrorInvalidData = 13;
inline constexpr ErrorCode kErrorBadFormat = 11;
inline constexpr ErrorCode kErrorBadlyFormattedRegistry = 1009;
inline constexpr ErrorCode kErrorKeyDeleted = 1018;
inline constexpr ErrorCode kErrorNoSuchPrivilege = 1313;
inline constexpr ErrorCode kErrorResourceTypeNotFound = 1813;
inline constexpr ErrorCode kErrorResourceNameNotFound = 1814;
inline constexpr ErrorCode kErrorBadlyFormattedRegistryFile = 1010;

// The Windows error code of an error number that the C library or the
// socket layer reported: an errno value on POSIX, a Windows code already on
// Windows.
ErrorCode ErrorFromSystemError(int code);

// The English system message text of a code, as FormatMessage gives it
// without inserts ("The system cannot find the file specified.").
std::u16string SystemMessage(ErrorCode code);

} // namespace platform
