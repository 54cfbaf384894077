#include "cli/progress_bar.h"

#include "platform/terminal.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace lockora::cli {

std::string FormatBytes(std::uint64_t bytes)
{
    constexpr std::array<const char*, 5> kUnits{"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < kUnits.size()) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof(text), "%.1f %s", value, kUnits[unit]);
    return text;
}

void ProgressBar::Start(std::string label, std::uint64_t totalBytes)
{
    label_ = std::move(label);
    total_ = totalBytes;
    started_ = std::chrono::steady_clock::now();
    Show(0);
}

void ProgressBar::Show(std::int32_t percent)
{
    if (!enabled_)
        return;
    percent = std::clamp(percent, 0, 100);
    const std::uint64_t done = total_ / 100 * static_cast<std::uint64_t>(percent) +
                               total_ % 100 * static_cast<std::uint64_t>(percent) / 100;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();

    constexpr int kBarWidth = 20;
    const int filled = percent * kBarWidth / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "]";
    char figures[96];
    std::snprintf(figures, sizeof(figures), " %3d%%", percent);
    line += figures;
    // The engine tells an item's size with its first progress.
    if (total_ > 0)
        line += "  " + FormatBytes(done) + " / " + FormatBytes(total_);
    if (total_ > 0 && seconds > 0.2)
        line += "  " + FormatBytes(static_cast<std::uint64_t>(static_cast<double>(done) / seconds)) + "/s";
    line += "  " + label_;

    // One terminal line: a longer one would wrap and leave its start behind.
    const auto columns = static_cast<std::size_t>(platform::TerminalColumns(platform::StandardStream::Error));
    if (columns > 1 && line.size() > columns - 1) {
        line.resize(columns - 1);
        // Never end on part of a character.
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0x80) != 0)
            line.pop_back();
    }
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Clear()
{
    if (!drawn_)
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

} // namespace lockora::cli
