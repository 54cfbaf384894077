// The decrypt operation: one container back into the file or folder it
// holds, beside it, after the container and the password were checked; then
// the container handled as iDelSel says.
#include "bridge/notify.h"
#include "browse/folder_tree.h"
#include "crypto/abandon_item.h"
#include "crypto/container_check.h"
#include "crypto/crypt_operation.h"
#include "crypto/item_names.h"
#include "crypto/item_output.h"
#include "log/diagnostic_log.h"
#include "platform/errors.h"
#include "platform/folders.h"

namespace lockora::crypto {
namespace {

using logging::LogDebug;
using logging::LogLess;

// The code that tells the screens why a restore was abandoned: damaged
// records are a damaged container, everything else a failed read or write.
std::int32_t AbandonedCode(const AbandonItem& abandoned)
{
    return abandoned.reason() == kErrorData ? bridge::ERR_FILE_NOT_ENCRYPT_OR_DESTORY : bridge::ERR_READ_FAILE;
}

} // namespace

int CryptOperation::DecryptItem(std::u16string_view path, std::u16string_view password)
{
    engine_.strSrcPath = engine_.strOutPath = path;
    engine_.strBackupPath.clear();
    MakeDecryptName(engine_.strOutPath);
    engine_.DeriveKeys(password);

    bool isFolder = false;
    if (const int opened = OpenDecryptItem(isFolder); opened != kOpened)
        return opened;
    engine_.uTotal = 0;
    engine_.uDone = 0;
    engine_.iLastPercent = 0;
    if (isFolder)
        DecryptFolder();
    else
        DecryptFile();
    return kOpened;
}

int CryptOperation::OpenDecryptItem(bool& isFolder)
{
    auto source = OpenItemSource(engine_.strSrcPath);
    if (!source) {
        ReportSystemError(source.code());
        LogLess("Create file:%s failed 0 ,error=%d", LogPath(engine_.strSrcPath).c_str(),
                static_cast<int>(source.code()));
        LogLess("Create cmp opt failed");
        return kOpenFailed;
    }
    engine_.hSrcFile = std::move(source).value();

    const std::u16string base = engine_.strSrcPath;
    auto output = CreateNamedOutput(engine_.strOutPath, base, MakeDecryptName);
    if (!output) {
        ReportSystemError(output.code());
        LogLess("Create file:%s failed ,error=%d", LogPath(engine_.strOutPath).c_str(),
                static_cast<int>(output.code()));
        engine_.hSrcFile.Close();
        LogLess("Create cmp opt failed");
        return kOpenFailed;
    }
    engine_.hOutFile = std::move(output).value();
    LogDebug("Create file:%s success", LogPath(engine_.strOutPath).c_str());

    const TrailerResult trailer = engine_.ReadTrailer();
    if (trailer.outcome == TrailerOutcome::DirectoryFailed) {
        LogLess("create directory:%s failed,error=%d", LogPath(engine_.strOutPath).c_str(),
                static_cast<int>(trailer.error));
        CloseHandles();
        // The empty output file stays only when it could not be replaced;
        // a folder there now is not ours.
        (void)platform::DeleteFile(engine_.strOutPath);
        return kDirectoryFailed;
    }
    if (trailer.outcome != TrailerOutcome::Ok)
        return RejectContainer(trailer.outcome);
    isFolder = engine_.IsFolderContainer();
    return kOpened;
}

int CryptOperation::RejectContainer(TrailerOutcome outcome)
{
    const std::string source = LogPath(engine_.strSrcPath);
    switch (outcome) {
    case TrailerOutcome::BadContainer:
        if (engine_.uContainerSize < kTrailerSize)
            LogLess("Get encrypt file size failed,size=%d", static_cast<int>(engine_.uContainerSize));
        else
            LogLess("get file Crc error 0!");
        bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, bridge::ERR_FILE_NOT_ENCRYPT_OR_DESTORY);
        break;
    case TrailerOutcome::ReadFailed:
        LogLess("Decrypt file:%s failed,read file failed!", source.c_str());
        bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, bridge::ERR_READ_FAILE);
        break;
    default:
        LogLess("Decrypt file:%s failed,not skip pwd", source.c_str());
        bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, bridge::ERR_NOT_SKIP_PWD);
        break;
    }
    LogLess("opt file:%s failed!", LogPath(engine_.strOutPath).c_str());
    CloseHandles();
    // A wrong password on a folder container comes after its output folder
    // was made; either way the output is new and empty.
    if (platform::IsDirectory(engine_.strOutPath))
        (void)platform::RemoveDirectory(engine_.strOutPath);
    else
        (void)platform::DeleteFile(engine_.strOutPath);
    return kContainerRejected;
}

int CryptOperation::DecryptFile()
{
    try {
        engine_.DecryptBody();
        // The restored file must be on the disk before the container may go.
        if (auto flushed = engine_.hOutFile.Flush(); !flushed) {
            ReportSystemError(flushed.code());
            throw AbandonItem(kWriteFileError, flushed.code());
        }
    } catch (const AbandonItem& abandoned) {
        LogDebug("Decrypt file failed,delete file:%s", LogPath(engine_.strOutPath).c_str());
        CloseHandles();
        (void)platform::DeleteFile(engine_.strOutPath);
        // Without this the screens would report the file as decrypted.
        bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, AbandonedCode(abandoned));
        return 1;
    }
    CloseHandles();
    bridge::NotifyUI(bridge::MSG_ITEM_WRITTEN, engine_.strOutPath, 0);
    const bool intact = engine_.VerifyDataChecksum();
    if (!intact)
        bridge::NotifyUI(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY, engine_.strSrcPath, 0);
    LogDebug("Decrypt file success,file:%s,old:%s", LogPath(engine_.strOutPath).c_str(),
             LogPath(engine_.strSrcPath).c_str());
    if (settings_.iDelSel != kKeepSource && RestoredItemVerified(intact))
        ReleaseContainer();
    return 0;
}

int CryptOperation::DecryptFolder()
{
    try {
        bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, engine_.strSrcPath, 0);
        engine_.DecryptBody();
    } catch (const AbandonItem& abandoned) {
        LogDebug("Decrypt folder failed,delete path:%s", LogPath(engine_.strOutPath).c_str());
        CloseHandles();
        browse::DeleteFolderTree(engine_.strOutPath);
        (void)platform::RemoveDirectory(engine_.strOutPath);
        bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, AbandonedCode(abandoned));
        return 1;
    }
    CloseHandles();
    bridge::NotifyUI(bridge::MSG_ITEM_WRITTEN, engine_.strOutPath, 0);
    const bool intact = engine_.VerifyDataChecksum();
    if (!intact)
        bridge::NotifyUI(bridge::MSG_ENCRYPT_FILE_HAD_MODIFY, engine_.strSrcPath, 0);
    LogDebug("Decrypt folder success,path:%s", LogPath(engine_.strOutPath).c_str());
    bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, engine_.strSrcPath, 100);
    if (settings_.iDelSel != kKeepSource && RestoredItemVerified(intact))
        ReleaseContainer();
    return 0;
}

bool CryptOperation::RestoredItemVerified(bool intact)
{
    const std::string container = LogPath(engine_.strSrcPath);
    if (!intact) {
        LogLess("Decrypt check:%s does not match its checksum,keep container", container.c_str());
        return false;
    }
    const platform::Status readBack = engine_.IsStrongContainer()
                                          ? engine_.CompareStrongRestored(engine_.strOutPath)
                                          : CheckRestoredContent(engine_.strSrcPath, engine_.strOutPath);
    if (readBack) {
        LogDebug("Read back of %s matches,release container:%s", LogPath(engine_.strOutPath).c_str(),
                 container.c_str());
        return true;
    }
    LogLess("Read back of %s failed,error=%d,keep container:%s", LogPath(engine_.strOutPath).c_str(),
            static_cast<int>(readBack.code()), container.c_str());
    // What reads back wrong is no restored copy; the container stays.
    if (platform::IsDirectory(engine_.strOutPath)) {
        browse::DeleteFolderTree(engine_.strOutPath);
        (void)platform::RemoveDirectory(engine_.strOutPath);
    } else {
        (void)platform::DeleteFile(engine_.strOutPath);
    }
    if (readBack.code() != platform::kErrorCrc)
        ReportSystemError(readBack.code());
    bridge::NotifyUI(bridge::MSG_DENCRYPT_FAILED, engine_.strSrcPath, bridge::ERR_READ_FAILE);
    return false;
}

void CryptOperation::ReleaseContainer()
{
    ReleaseSource(engine_.strSrcPath, false, settings_.iDelSel, engine_.uTotal);
}

} // namespace lockora::crypto
