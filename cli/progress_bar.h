// The progress line of lockora-xep on standard error: what is being done,
// a bar, the percentage, bytes and speed. Drawn only on a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace lockora::cli {

class ProgressBar {
public:
    // Draws nothing unless `enabled` (standard error is a terminal).
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}

    // A new phase of an item ("encrypting a.txt"); the speed counts from here.
    void Start(std::string label, std::uint64_t totalBytes);
    void SetTotal(std::uint64_t totalBytes) { total_ = totalBytes; }
    void Show(std::int32_t percent);
    // Removes the line, so that other output starts on a clean line.
    void Clear();

private:
    bool enabled_;
    bool drawn_ = false;
    std::string label_;
    std::uint64_t total_ = 0;
    std::chrono::steady_clock::time_point started_{};
};

// "1.5 MiB", "512 B".
std::string FormatBytes(std::uint64_t bytes);

} // namespace lockora::cli
