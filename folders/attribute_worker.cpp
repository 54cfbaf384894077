#include "folders/attribute_worker.h"

#include "bridge/main_window.h"
#include "bridge/notify.h"
#include "folders/tree_entries.h"
#include "log/diagnostic_log.h"
#include "platform/attributes.h"
#include "platform/folders.h"

#include <iterator>
#include <thread>
#include <utility>

namespace lockora::folders {
namespace {

using bridge::ScriptValue;

constexpr std::u16string_view kLongPathPrefix = u"\\\\?\\";

bool EndsWithSeparator(std::u16string_view path)
{
    return !path.empty() && (path.back() == u'\\' || path.back() == u'/');
}

// The attribute code as _wtoi reads it: leading blanks, a sign, the digits
// up to the first other character; 0 when there are none.
std::int32_t ReadDecimal(std::u16string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > INT32_MAX)
            break; // only the low bits matter; stop before overflowing
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

// Percent of a counter; computed in 64 bits, since counter * 100 outgrows
// 32 bits beyond 21 million entries. Not clamped: a tree that grew during
// the walk may report more than 100.
std::int32_t Percent(std::int64_t counter, std::int64_t total)
{
    return static_cast<std::int32_t>(counter * 100 / total);
}

// Sets or clears read-only and hidden, keeping every other bit as read. A
// failure leaves the entry as it was and is not reported.
void ApplyFlags(std::u16string_view path, AttributeFlags flags)
{
    const auto read = platform::GetFileAttributes(path);
    if (!read.ok())
        return;
    std::uint32_t attributes = *read;
    attributes = flags.readOnly ? attributes | platform::kAttrReadOnly : attributes & ~platform::kAttrReadOnly;
    attributes = flags.hidden ? attributes | platform::kAttrHidden : attributes & ~platform::kAttrHidden;
    (void)platform::SetFileAttributes(path, attributes);
}

void SendToPage(const ScriptValue& message)
{
    bridge::MainWindow* window = bridge::MainWindow::Get();
    if (window == nullptr)
        return;
    try {
        window->CallPageFunction("BackupServiceCallUI", message);
    } catch (const bridge::PageScriptError& error) {
        logging::LogLess("BackupServiceCallUI failed on an attribute message: %s", error.what());
    }
}

ScriptValue ProgressParameter(std::u16string_view path, std::int32_t percent)
{
    return ScriptValue::Array({ScriptValue::String(std::u16string(path)), ScriptValue::Int(percent)});
}

} // namespace

AttributeFlags FlagsOfAttributeCode(std::int32_t code)
{
    return {(code & 0x1) != 0, (code & 0x4) != 0};
}

ScriptValue SetAttributes(const ScriptValue& param)
{
    std::vector<std::u16string> request;
    const ScriptValue& paths = param.At(1);
    request.reserve(1 + paths.Length());
    request.push_back(param.At(0).ToString());
    for (const ScriptValue& path : paths.Elements())
        request.push_back(path.ToString());
    std::thread(AttributeWorker, std::move(request)).detach();
    return ScriptValue::Int(0);
}

void AttributeWorker(std::vector<std::u16string> request)
{
    const AttributeFlags flags = FlagsOfAttributeCode(request.empty() ? 0 : ReadDecimal(request.front()));
    // One message for the whole request: the finish message reuses it, so
    // it carries the last progress parameter (undefined without a path).
    ScriptValue message = ScriptValue::Array({ScriptValue(), ScriptValue()});
    std::int64_t counter = 0;
    for (std::size_t i = 1; i < request.size(); ++i) {
        std::u16string path = std::move(request[i]);
        std::int64_t total = 1;
        if (platform::IsDirectory(path)) {
            if (!EndsWithSeparator(path))
                path += u'\\';
            total += CountTreeEntries(path);
            ApplyAttributesTree(path, flags, total, counter, path);
        }
        ApplyFlags(path, flags);
        ++counter;
        message.Set(0, ScriptValue::Int(bridge::MSG_SET_PRGRRESS));
        message.Set(1, ProgressParameter(path, Percent(counter, total)));
        SendToPage(message);
    }
    request.clear();
    message.Set(0, ScriptValue::Int(bridge::MSG_SET_ATTRIBUTES_FINISHED));
    SendToPage(message);
}

std::int64_t CountTreeEntries(std::u16string_view folder)
{
    std::int64_t count = 0;
    std::vector<std::u16string> pending{std::u16string(folder)};
    while (!pending.empty()) {
        const std::u16string current = std::move(pending.back());
        pending.pop_back();
        for (const TreeEntry& entry : ListTreeEntries(current)) {
            ++count;
            if (entry.IsEnterableFolder())
                pending.push_back(entry.path);
        }
    }
    return count;
}

void ApplyAttributesTree(std::u16string_view folder, AttributeFlags flags, std::int64_t total, std::int64_t& counter,
                         std::u16string_view progressPath)
{
    // An explicit stack instead of recursion, so a deep tree cannot exhaust
    // the worker's stack. Subfolders are pushed in reverse: each folder's
    // content follows in the order its entries were met.
    std::vector<std::u16string> pending{std::u16string(folder)};
    while (!pending.empty()) {
        const std::u16string current = std::move(pending.back());
        pending.pop_back();
        const std::int32_t startPercent = Percent(counter, total);
        std::vector<std::u16string> subfolders;
        for (TreeEntry& entry : ListTreeEntries(current)) {
            ApplyFlags(std::u16string(kLongPathPrefix) + entry.path, flags);
            ++counter;
            if (const std::int32_t percent = Percent(counter, total); percent != startPercent) {
                SendToPage(ScriptValue::Array(
                    {ScriptValue::Int(bridge::MSG_SET_PRGRRESS), ProgressParameter(progressPath, percent)}));
            }
            if (entry.IsEnterableFolder())
                subfolders.push_back(std::move(entry.path));
        }
        pending.insert(pending.end(), std::make_move_iterator(subfolders.rbegin()),
                       std::make_move_iterator(subfolders.rend()));
    }
}

} // namespace lockora::folders
