#include "log/log_rotation.h"

#include "platform/folders.h"

#include <vector>

namespace lockora::logging {

std::u16string NumberedLogName(std::u16string_view path, int number)
{
    const std::size_t nameStart = path.rfind(u'\\') == std::u16string_view::npos ? 0 : path.rfind(u'\\') + 1;
    std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || dot < nameStart)
        dot = path.size();
    std::u16string numbered(path.substr(0, dot));
    numbered += u'_';
    for (const char c : std::to_string(number))
        numbered += static_cast<char16_t>(c);
    numbered += path.substr(dot);
    return numbered;
}

void ShiftLogFiles(std::u16string_view path, int keepCount)
{
    // Names 1, 2, ... up to the first free one, which receives the shift.
    std::vector<std::u16string> names;
    for (int number = 1; number <= keepCount; ++number) {
        names.push_back(NumberedLogName(path, number));
        if (!platform::PathExists(names.back()))
            break;
    }

    // Each failure below leaves the target of the next move in place, so that
    // move fails too and no file is overwritten: a failed rotation keeps
    // every file and the current log simply grows on.
    if (platform::PathExists(names.back()))
        (void)platform::DeleteFile(names.back());
    for (std::size_t i = names.size() - 1; i > 0; --i)
        (void)platform::MoveFile(names[i - 1], names[i]);
    (void)platform::MoveFile(path, names.front());
}

} // namespace lockora::logging
