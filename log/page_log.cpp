#include "log/page_log.h"

#include "log/diagnostic_log.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/text.h"

namespace lockora::logging {

bridge::ScriptValue WriteHtmlLog(const bridge::ScriptValue& text)
{
    LogDebug("%s", platform::Utf16ToUtf8(text.ToString()).c_str());
    return bridge::ScriptValue::Int(0);
}

bridge::ScriptValue OpenLogFilePath(const bridge::ScriptValue&)
{
    const auto current = platform::CurrentDirectory();
    if (!current)
        return bridge::ScriptValue::Int(platform::kShellErrorPathNotFound);
    const int result = platform::ShellOpen(*current + u"\\Log");
    return bridge::ScriptValue::Int(result > 32 ? 0 : result);
}

} // namespace lockora::logging
