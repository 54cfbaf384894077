#include "platform/errors.h"
#include "platform/posix/errno_error.h"

#include <cerrno>

namespace platform {

ErrorCode ErrorFromSystemError(int code)
{
    return ErrorFromErrno(code);
}

ErrorCode ErrorFromErrno(int err, ErrnoContext context, bool missingParent)
{
    switch (err) {
    case 0:
        return kErrorSuccess;
    case ENOENT:
        return missingParent ? kErrorPathNotFound : kErrorFileNotFound;
    case ENOTDIR:
        return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return kErrorAccessDenied;
    case EEXIST:
        return context == ErrnoContext::CreateNew ? kErrorFileExists : kErrorAlreadyExists;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    case ENOTEMPTY:
        return kErrorDirNotEmpty;
    case ENAMETOOLONG:
        return kErrorFilenameExcedRange;
    case EAGAIN:
    case EBUSY:
        return kErrorSharingViolation;
    case EMFILE:
    case ENFILE:
        return kErrorTooManyOpenFiles;
    case EINVAL:
        return kErrorInvalidParameter;
    case EXDEV:
        return kErrorNotSameDevice;
    case EBADF:
        return kErrorInvalidHandle;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EFBIG:
        return kErrorDiskFull;
    case ELOOP:
        return kErrorCantResolveFilename;
    case ENOTSUP:
        return kErrorNotSupported;
    case ENODEV:
    case ENXIO:
        return kErrorInvalidDrive;
    case EPIPE:
        return kErrorBrokenPipe;
    case EIO:
        return kErrorGenFailure;
    default:
        return kErrorGenFailure;
    }
}

std::u16string SystemMessage(ErrorCode code)
{
    switch (code) {
    case kErrorSuccess: return u"The operation completed successfully.";
    case kErrorInvalidFunction: return u"Incorrect function.";
    case kErrorFileNotFound: return u"The system cannot find the file specified.";
    case kErrorPathNotFound: return u"The system cannot find the path specified.";
    case kErrorTooManyOpenFiles: return u"The system cannot open the file.";
    case kErrorAccessDenied: return u"Access is denied.";
    case kErrorInvalidHandle: return u"The handle is invalid.";
    case kErrorNotEnoughMemory: return u"Not enough memory resources are available to process this command.";
    case kErrorBadFormat: return u"An attempt was made to load a program with an incorrect format.";
    case kErrorInvalidData: return u"The data is invalid.";
    case kErrorInvalidDrive: return u"The system cannot find the drive specified.";
    case kErrorNotSameDevice: return u"The system cannot move the file to a different disk drive.";
    case kErrorNoMoreFiles: return u"There are no more files.";
    case kErrorWriteProtect: return u"The media is write protected.";
    case kErrorNotReady: return u"The device is not ready.";
    case kErrorCrc: return u"Data error (cyclic redundancy check).";
    case kErrorSeek: return u"The drive cannot locate a specific area or track on the disk.";
    case kErrorWriteFault: return u"The system cannot write to the specified device.";
    case kErrorReadFault: return u"The system cannot read from the specified device.";
    case kErrorGenFailure: return u"A device attached to the system is not functioning.";
    case kErrorSharingViolation: return u"The process cannot access the file because it is being used by another process.";
    case kErrorLockViolation: return u"The process cannot access the file because another process has locked a portion of the file.";
    case kErrorHandleEof: return u"Reached the end of the file.";
    case kErrorHandleDiskFull: return u"The disk is full.";
    case kErrorNotSupported: return u"The request is not supported.";
    case kErrorFileExists: return u"The file exists.";
    case kErrorCannotMake: return u"The directory or file cannot be created.";
    case kErrorInvalidParameter: return u"The parameter is incorrect.";
    case kErrorBrokenPipe: return u"The pipe has been ended.";
    case kErrorOpenFailed: return u"The system cannot open the device or file specified.";
    case kErrorBufferOverflow: return u"The file name is too long.";
    case kErrorDiskFull: return u"There is not enough space on the disk.";
    case kErrorCallNotImplemented: return u"This function is not supported on this system.";
    case kErrorInsufficientBuffer: return u"The data area passed to a system call is too small.";
    case kErrorInvalidName: return u"The filename, directory name, or volume label syntax is incorrect.";
    case kErrorProcNotFound: return u"The specified procedure could not be found.";
    case kErrorNegativeSeek: return u"An attempt was made to move the file pointer before the beginning of the file.";
    case kErrorDirNotEmpty: return u"The directory is not empty.";
    case kErrorBadPathname: return u"The specified path is invalid.";
    case kErrorBusy: return u"The requested resource is in use.";
    case kErrorAlreadyExists: return u"Cannot create a file when that file already exists.";
    case kErrorBadExeFormat: return u"%1 is not a valid Win32 application.";
    case kErrorFilenameExcedRange: return u"The filename or extension is too long.";
    case kErrorMoreData: return u"More data is available.";
    case kErrorNoMoreItems: return u"No more data is available.";
    case kErrorDirectory: return u"The directory name is invalid.";
    case kErrorNotOwner: return u"Attempt to release mutex not owned by caller.";
    case kErrorPartialCopy: return u"Only part of a ReadProcessMemory or WriteProcessMemory request was completed.";
    case kErrorBadlyFormattedRegistry: return u"The configuration registry database is corrupt.";
    case kErrorBadlyFormattedRegistryFile: return u"The configuration registry key is invalid.";
    case kErrorKeyDeleted: return u"Illegal operation attempted on a registry key that has been marked for deletion.";
    case kErrorNoSuchPrivilege: return u"A specified privilege does not exist.";
    case kErrorResourceTypeNotFound: return u"The specified resource type cannot be found in the image file.";
    case kErrorResourceNameNotFound: return u"The specified resource name cannot be found in the image file.";
    case kErrorNoUnicodeTranslation: return u"No mapping for the Unicode character exists in the target multi-byte code page.";
    case kErrorCancelled: return u"The operation was canceled by the user.";
    case kErrorTimeout: return u"This operation returned because the timeout period expired.";
    case kErrorCantResolveFilename: return u"The name of the file cannot be resolved by the system.";
    default: return u"Unknown error.";
    }
}

std::u16string Error::message() const
{
    return SystemMessage(code_);
}

} // namespace platform
