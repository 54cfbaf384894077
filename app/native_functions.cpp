#include "app/native_functions.h"

#include "app/main_frame.h"
#include "app/single_instance.h"
#include "browse/partitions.h"
#include "browse/path_listing.h"
#include "crypto/batch_worker.h"
#include "folders/attribute_worker.h"
#include "folders/folder_disguise.h"
#include "folders/show_path.h"
#include "log/page_log.h"
#include "settings/language.h"
#include "settings/settings_functions.h"
#include "settings/soft_password.h"
#include "shell/context_menu.h"
#include "shred/delete_operation.h"
#include "system/os_facts.h"
#include "system/power_operate.h"
#include "system/version_strings.h"

namespace lockora::app {

void BindNativeFunctions(MainFrame& frame)
{
    using bridge::NativeFunction;
    using bridge::ScriptValue;
    bridge::FunctionTable& table = frame.Functions();
    settings::SettingsHolder& settings = frame.Settings();

    table.Bind(NativeFunction::GetLang, [](const ScriptValue&) { return settings::GetLang(); });
    table.Bind(NativeFunction::SetLang, settings::SetLang);
    table.Bind(NativeFunction::HidePath, folders::HidePath);
    table.Bind(NativeFunction::ShowPath, folders::ShowPath);
    table.Bind(NativeFunction::Is64BitOS, system::Is64BitOS);
    table.Bind(NativeFunction::Encrypted,
               [&settings](const ScriptValue& argument) { return crypto::Encrypted(argument, settings); });
    table.Bind(NativeFunction::Decrypted,
               [&settings](const ScriptValue& argument) { return crypto::Decrypted(argument, settings); });
    table.Bind(NativeFunction::AddContext, shell::AddContext);
    table.Bind(NativeFunction::GetDirIcon, folders::GetDirIcon);
    table.Bind(NativeFunction::GetPathInfo, browse::GetPathInfo);
    table.Bind(NativeFunction::IsDirectory, browse::IsDirectory);
    table.Bind(NativeFunction::GetPathAttr, browse::GetPathAttr);
    table.Bind(NativeFunction::WriteHtmlLog, logging::WriteHtmlLog);
    table.Bind(NativeFunction::PowerOperate, system::PowerOperate);
    table.Bind(NativeFunction::GetOsVersion, system::GetOsVersion);
    table.Bind(NativeFunction::RemoveContext, shell::RemoveContext);
    table.Bind(NativeFunction::SetAttributes, folders::SetAttributes);
    table.Bind(NativeFunction::FolderDisGuise, folders::FolderDisGuise);
    table.Bind(NativeFunction::GetSettingInfo,
               [&settings](const ScriptValue&) { return settings::GetSettingInfo(settings); });
    table.Bind(NativeFunction::GetPathArrInfo, browse::GetPathArrInfo);
    table.Bind(NativeFunction::OpenLogFilePath, logging::OpenLogFilePath);
    table.Bind(NativeFunction::CompleteDelFile, shred::CompleteDelFile);
    table.Bind(NativeFunction::SetSoftPassword,
               [&settings](const ScriptValue& argument) { return settings::SetSoftPassword(settings, argument); });
    table.Bind(NativeFunction::GetProductVersion, system::GetProductVersion);
    table.Bind(NativeFunction::ChangeSettingInfo,
               [&settings](const ScriptValue& argument) { return settings::ChangeSettingInfo(settings, argument); });
    table.Bind(NativeFunction::CheckProgramHadRun, CheckProgramHadRun);
    table.Bind(NativeFunction::GetAllPartitionInfo,
               [&icons = frame.Icons()](const ScriptValue&) { return browse::GetAllPartitionInfo(icons); });
}

} // namespace lockora::app
