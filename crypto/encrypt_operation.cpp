// The encrypt operation: one file or folder into a new container beside it,
// optionally a byte-identical backup container, then the source handled as
// iDelSel says.
#include "bridge/notify.h"
#include "browse/folder_tree.h"
#include "crypto/abandon_item.h"
#include "crypto/container_check.h"
#include "crypto/crypt_operation.h"
#include "crypto/item_names.h"
#include "crypto/item_output.h"
#include "log/diagnostic_log.h"
#include "platform/folders.h"

namespace lockora::crypto {
namespace {

using logging::LogDebug;
using logging::LogLess;

// Flushes an open handle; a failure is a write failure of the item.
void FlushOrAbandon(platform::File& file)
{
    if (!file.IsOpen())
        return;
    if (auto flushed = file.Flush(); !flushed) {
        ReportSystemError(flushed.code());
        throw AbandonItem(kWriteFileError, flushed.code());
    }
}

// The backup folder followed by the item's name from its last "\" on
// ("D:/Backup" and C:\docs\a.txt give "D:/Backup\a.txt"): the settings
// keep the folder with "/" separators, and the file system takes the mix.
std::u16string BackupBase(std::u16string_view backupFolder, std::u16string_view item)
{
    const std::size_t name = item.rfind(u'\\');
    std::u16string base(backupFolder);
    base += name == std::u16string_view::npos ? item : item.substr(name);
    return base;
}

} // namespace

void CryptOperation::ApplyOptions(const settings::SettingsRecord& record)
{
    settings_ = record;
    engine_.bEptCanFgt = record.bEptCanFgt;
    engine_.bBackup = record.bBackup;
    engine_.uPwd = record.uPwd;
    engine_.bStrong = record.bStrong;
}

void CryptOperation::CloseHandles()
{
    engine_.hSrcFile.Close();
    engine_.hOutFile.Close();
    engine_.hBackupFile.Close();
}

int CryptOperation::EncryptItem(std::u16string_view path, std::u16string_view password)
{
    engine_.strSrcPath = engine_.strOutPath = path;
    engine_.strBackupPath.clear();
    if (engine_.bBackup)
        engine_.strBackupPath = BackupBase(settings_.strBackDir, path);
    MakeEncryptName(engine_.strOutPath);
    if (engine_.bBackup)
        MakeEncryptName(engine_.strBackupPath);
    engine_.DeriveKeys(password);

    bool isFolder = false;
    if (const int opened = OpenEncryptItem(isFolder); opened != kOpened)
        return opened;
    engine_.uTotal = 0;
    engine_.uDone = 0;
    engine_.iLastPercent = 0;
    if (isFolder)
        EncryptFolder(password);
    else
        EncryptFile(password);
    return kOpened;
}

int CryptOperation::OpenEncryptItem(bool& isFolder)
{
    isFolder = platform::IsDirectory(engine_.strSrcPath);
    if (!isFolder) {
        auto source = OpenItemSource(engine_.strSrcPath);
        if (!source) {
            ReportSystemError(source.code());
            LogLess("Create file:%s failed 0 ,error=%d", LogPath(engine_.strSrcPath).c_str(),
                    static_cast<int>(source.code()));
            LogLess("Create cmp opt failed");
            return kOpenFailed;
        }
        engine_.hSrcFile = std::move(source).value();
    }

    auto output = CreateNamedOutput(engine_.strOutPath, engine_.strSrcPath, MakeEncryptName);
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

    if (engine_.bBackup) {
        auto backup = CreateNamedOutput(engine_.strBackupPath, BackupBase(settings_.strBackDir, engine_.strSrcPath),
                                        MakeEncryptName);
        if (!backup) {
            engine_.hOutFile.Close();
            (void)platform::DeleteFile(engine_.strOutPath);
            engine_.hSrcFile.Close();
            LogLess("Create backup file:%s failed,error=%d", LogPath(engine_.strBackupPath).c_str(),
                    static_cast<int>(backup.code()));
            bridge::NotifyUI(bridge::MSG_BACKUP_FILE_NAME_EXIST, engine_.strBackupPath, 0);
            return kBackupFailed;
        }
        engine_.hBackupFile = std::move(backup).value();
    }

    BuildKeyTable(engine_.uKey, engine_.arrKeyTable);
    return kOpened;
}

void CryptOperation::DiscardContainers()
{
    CloseHandles();
    (void)platform::DeleteFile(engine_.strOutPath);
    if (engine_.bBackup)
        (void)platform::DeleteFile(engine_.strBackupPath);
}

bool CryptOperation::NewContainerVerified(std::u16string_view password)
{
    if (settings_.iDelSel == kKeepSource)
        return true;
    const VerifyResult verified =
        VerifyContainerWith(verifier_, engine_.strOutPath, password, engine_.uPwd, VerifyProgress::Silent);
    verifier_.hSrcFile.Close();
    if (verified.outcome == VerifyOutcome::Intact) {
        LogDebug("Verify container:%s success", LogPath(engine_.strOutPath).c_str());
        return true;
    }
    LogLess("Verify container:%s failed,outcome=%d,error=%d,keep source:%s", LogPath(engine_.strOutPath).c_str(),
            static_cast<int>(verified.outcome), static_cast<int>(verified.error), LogPath(engine_.strSrcPath).c_str());
    DiscardContainers();
    bridge::NotifyUI(bridge::MSG_ENCRYPT_FAILED, engine_.strSrcPath, 0);
    return false;
}

int CryptOperation::EncryptFile(std::u16string_view password)
{
    try {
        const auto size = engine_.hSrcFile.Size();
        if (!size) {
            ReportSystemError(size.code());
            throw AbandonItem(kReadFileError, size.code());
        }
        engine_.uTotal = *size;
        engine_.uCrc = kCrcStart;
        if (engine_.bStrong) {
            engine_.WriteStrongContainer(false);
        } else {
            StreamCursor cursor;
            engine_.TransformStream(engine_.uTotal, cursor, ProgressMode::WritePosition);
            engine_.WriteTrailer(kKindFile);
        }
        FlushOrAbandon(engine_.hSrcFile);
        FlushOrAbandon(engine_.hOutFile);
        FlushOrAbandon(engine_.hBackupFile);
    } catch (const AbandonItem&) {
        LogDebug("Encrypt file failed,delete file:%s", LogPath(engine_.strOutPath).c_str());
        DiscardContainers();
        // Without this the screens would report the file as encrypted.
        bridge::NotifyUI(bridge::MSG_ENCRYPT_FAILED, engine_.strSrcPath, 0);
        return 1;
    }
    CloseHandles();
    LogDebug("Encrypt file success,file:%s,old:%s", LogPath(engine_.strOutPath).c_str(),
             LogPath(engine_.strSrcPath).c_str());
    if (!NewContainerVerified(password))
        return 1;
    bridge::NotifyUI(bridge::MSG_ITEM_WRITTEN, engine_.strOutPath, 0);

    ReleaseSource(engine_.strSrcPath, false, settings_.iDelSel, engine_.uTotal);
    return 0;
}

int CryptOperation::EncryptFolder(std::u16string_view password)
{
    try {
        engine_.uCrc = kCrcStart;
        engine_.ovlContainer = 0;
        engine_.uTotal = 0;
        browse::SumFolderSize(engine_.strSrcPath, engine_.uTotal);
        bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, engine_.strSrcPath, 0);
        if (engine_.bStrong) {
            engine_.WriteStrongContainer(true);
        } else {
            engine_.PackFolder(engine_.strSrcPath);
            engine_.WriteTrailer(kKindFolder);
        }
        FlushOrAbandon(engine_.hOutFile);
        FlushOrAbandon(engine_.hBackupFile);
    } catch (const AbandonItem&) {
        LogDebug("Encrypt folder failed,delete file:%s", LogPath(engine_.strOutPath).c_str());
        DiscardContainers();
        bridge::NotifyUI(bridge::MSG_ENCRYPT_FAILED, engine_.strSrcPath, 0);
        return 1;
    }
    bridge::NotifyUI(bridge::MSG_SET_PRGRRESS, engine_.strSrcPath, 100);
    engine_.iLastPercent = 100;
    CloseHandles();
    LogDebug("Encrypt folder success,file:%s", LogPath(engine_.strOutPath).c_str());
    if (!NewContainerVerified(password))
        return 1;
    bridge::NotifyUI(bridge::MSG_ITEM_WRITTEN, engine_.strOutPath, 0);

    ReleaseSource(engine_.strSrcPath, true, settings_.iDelSel, engine_.uTotal);
    return 0;
}

} // namespace lockora::crypto
