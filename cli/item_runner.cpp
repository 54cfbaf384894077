#include "cli/item_runner.h"

#include "browse/folder_tree.h"
#include "cli/host_paths.h"
#include "crypto/container_check.h"
#include "crypto/crypt_operation.h"
#include "platform/attributes.h"
#include "platform/errors.h"
#include "platform/folders.h"
#include "platform/path.h"
#include "platform/text.h"
#include "shred/delete_operation.h"

namespace lockora::cli {
namespace {

// The screens' texts, where they have one.
constexpr const char* kFailedToEncrypt = "Failed to encrypt!";
constexpr const char* kWrongPassword = "Wrong password";
constexpr const char* kReadError = "There was an error in reading the file.";
constexpr const char* kDamaged = "Damaged file";
constexpr const char* kFailedToShred = "Failed to shred!";

std::string NotContainerText()
{
    return std::string(kDamaged) + ": not a container, or its trailer is damaged";
}

std::string WithSystemText(const char* text, std::u16string_view systemText)
{
    std::string reason(text);
    if (!systemText.empty())
        reason += " " + platform::Utf16ToUtf8(systemText);
    return reason;
}

std::string ItemName(std::u16string_view path)
{
    const std::size_t separator = path.rfind(u'\\');
    return platform::WindowsNameToHost(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

std::string HostForm(std::u16string_view path)
{
    auto host = platform::ToHostPath(path);
    return host ? std::move(host).value() : platform::Utf16ToUtf8(path);
}

std::string DecryptFailure(const ItemEvents& events)
{
    switch (events.decryptFailure.value_or(0)) {
    case bridge::ERR_FILE_NOT_ENCRYPT_OR_DESTORY:
        return NotContainerText();
    case bridge::ERR_NOT_SKIP_PWD:
        return kWrongPassword;
    default:
        return WithSystemText(kReadError, events.systemText);
    }
}

std::uint64_t ItemSize(std::u16string_view path)
{
    std::uint64_t size = 0;
    if (platform::IsDirectory(path))
        browse::SumFolderSize(path, size);
    else
        size = platform::GetFileAttributesEx(path).value_or({}).size;
    return size;
}

// "1 file", "3 files".
std::string Counted(std::uint64_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

ItemReport Failed(std::string reason)
{
    ItemReport report;
    report.problems.push_back(std::move(reason));
    return report;
}

// Folder paths as the settings keep them: "/" separators, no trailing one.
std::u16string SlashForm(std::u16string_view path)
{
    std::u16string form(path);
    for (char16_t& unit : form) {
        if (unit == u'\\')
            unit = u'/';
    }
    while (!form.empty() && form.back() == u'/')
        form.pop_back();
    return form;
}

} // namespace

std::string BackupConflict(const settings::SettingsRecord& settings, std::u16string_view item)
{
    const std::u16string backup = SlashForm(settings.strBackDir);
    if (!settings.bBackup || backup.empty())
        return {};
    const std::u16string path = SlashForm(item);
    const std::size_t slash = path.rfind(u'/');
    if (slash != std::u16string::npos && path.substr(0, slash) == backup)
        return "The current directory is the same as the backup directory. Please select another directory for "
               "backup. The backup directory is set in software Settings.";
    if (backup == path || backup.starts_with(path + u"/"))
        return "The backup directory cannot be in the encrypted folder, please select another directory for "
               "backup. The backup directory is set in the software settings";
    return {};
}

ItemReport ItemRunner::Encrypt(const ItemTarget& item, const std::u16string& password)
{
    if (std::string conflict = BackupConflict(settings_, item.path); !conflict.empty())
        return Failed(std::move(conflict));

    crypto::CryptOperation operation;
    operation.ApplyOptions(settings_);
    operation.engine().bEncrypt = true;
    const std::string name = ItemName(item.path);
    listener_.BeginItem("encrypting " + name, "shredding " + name, &operation.engine().uTotal);
    const int opened = operation.EncryptItem(item.path, password);
    operation.CloseHandles();
    listener_.EndItem();

    const ItemEvents& events = listener_.events();
    if (opened == crypto::kBackupFailed)
        return Failed(std::string(kFailedToEncrypt) + " The backup container cannot be created: " +
                      HostForm(events.backupFailed.value_or(operation.engine().strBackupPath)));
    if (opened != crypto::kOpened || events.encryptFailed)
        return Failed(WithSystemText(kFailedToEncrypt, events.systemText));

    ItemReport report;
    report.ok = true;
    report.output = DisplayBeside(item.typed, operation.engine().strOutPath);
    CheckSourceHandled(item, report);
    return report;
}

ItemReport ItemRunner::Decrypt(const ItemTarget& item, const std::u16string& password)
{
    if (platform::IsDirectory(item.path))
        return Failed("is a folder, not a container");

    crypto::CryptOperation operation;
    operation.ApplyOptions(settings_);
    operation.engine().bEncrypt = false;
    const std::string name = ItemName(item.path);
    listener_.BeginItem("decrypting " + name, "shredding " + name, &operation.engine().uTotal);
    const int opened = operation.DecryptItem(item.path, password);
    operation.CloseHandles();
    listener_.EndItem();

    const ItemEvents& events = listener_.events();
    if (opened != crypto::kOpened || events.decryptFailure)
        return Failed(DecryptFailure(events));

    ItemReport report;
    report.ok = true;
    report.output = DisplayBeside(item.typed, operation.engine().strOutPath);
    if (events.checksumMismatch) {
        report.ok = false;
        report.problems.push_back(std::string(kDamaged) +
                                  ": the content does not match its checksum; the restored copy was kept");
    }
    CheckSourceHandled(item, report);
    return report;
}

ItemReport ItemRunner::Verify(const ItemTarget& item, const std::u16string& password)
{
    if (platform::IsDirectory(item.path))
        return Failed("is a folder, not a container");

    const std::uint64_t total = ItemSize(item.path);
    listener_.BeginItem("verifying " + ItemName(item.path), {}, &total);
    const crypto::VerifyResult result = crypto::VerifyContainerWith(verifier_, item.path, password, settings_.uPwd,
                                                                    crypto::VerifyProgress::Report);
    verifier_.hSrcFile.Close();
    listener_.EndItem();

    switch (result.outcome) {
    case crypto::VerifyOutcome::Intact: {
        ItemReport report;
        report.ok = true;
        report.output = item.typed + ": OK, " + (result.isFolder ? "folder" : "file") + " container";
        return report;
    }
    case crypto::VerifyOutcome::NotContainer:
        return Failed(NotContainerText());
    case crypto::VerifyOutcome::WrongPassword:
        return Failed(kWrongPassword);
    case crypto::VerifyOutcome::DamagedRecords:
        return Failed(std::string(kDamaged) + ": its folder records are damaged");
    case crypto::VerifyOutcome::ChecksumMismatch:
        return Failed(std::string(kDamaged) + ": the content does not match its checksum");
    case crypto::VerifyOutcome::ReadFailed:
        break;
    }
    return Failed(WithSystemText(kReadError, platform::SystemMessage(result.error)));
}

ItemReport ItemRunner::Info(const ItemTarget& item)
{
    if (platform::IsDirectory(item.path))
        return Failed("is a folder, not a container");
    const auto info = crypto::DescribeContainer(item.path);
    if (!info) {
        if (info.code() == platform::kErrorInvalidData)
            return Failed(NotContainerText());
        return Failed(WithSystemText(kReadError, platform::SystemMessage(info.code())));
    }

    ItemReport report;
    report.ok = true;
    if (info->strong) {
        report.output = item.typed + ": " + (info->isFolder ? "folder" : "file") +
                        " container, strong format, recovery " + (info->recoveryFlag ? "on" : "off") + ", " +
                        std::to_string(info->containerSize) + " bytes; names and sizes are encrypted";
        return report;
    }
    report.output = item.typed + ": " + (info->isFolder ? "folder" : "file") + " container, recovery flag " +
                    (info->recoveryFlag ? "on" : "off") + ", " + std::to_string(info->containerSize) +
                    " bytes, content " + std::to_string(info->contentSize) + " bytes";
    if (info->isFolder)
        report.output += " in " + Counted(info->fileCount, "file") + " and " + Counted(info->folderCount, "folder");
    return report;
}

ItemReport ItemRunner::Shred(const ItemTarget& item)
{
    const std::uint64_t total = ItemSize(item.path);
    const std::string label = "shredding " + ItemName(item.path);
    listener_.BeginItem(label, label, &total);
    shred::ShredPath(item.path);
    listener_.EndItem();
    if (platform::PathExists(item.path))
        return Failed(WithSystemText(kFailedToShred, listener_.events().systemText.empty()
                                                         ? u"Some of it could not be removed."
                                                         : listener_.events().systemText));
    ItemReport report;
    report.ok = true;
    report.output = item.typed + ": shredded";
    return report;
}

void ItemRunner::CheckSourceHandled(const ItemTarget& item, ItemReport& report) const
{
    if (settings_.iDelSel == crypto::kKeepSource || !platform::PathExists(item.path))
        return;
    report.ok = false;
    report.problems.push_back(settings_.iDelSel == crypto::kShredSource
                                  ? "the source could not be shredded completely; what is left stays in place"
                                  : "the source could not be deleted completely; what is left stays in place");
}

} // namespace lockora::cli
