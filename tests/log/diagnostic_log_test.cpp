#include "log/diagnostic_log.h"

#include "platform/attributes.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/support/fault_sweep.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lockora::logging {
namespace {

using lockora::testing::ReadHostFile;
using lockora::testing::SandboxTest;
using lockora::testing::WriteHostFile;

constexpr std::u16string_view kConfig = u"C:\\App\\config.ini";
constexpr std::u16string_view kLogFolder = u"C:\\App\\Log";
constexpr std::u16string_view kLogFile = u"C:\\App\\Log\\Lockora.log";

constexpr LogSources kFixedSources{
    [] { return platform::CalendarTime{.year = 2023, .month = 4, .day = 7, .hour = 9, .minute = 5, .second = 33}; },
    [] { return std::uint32_t{7}; },
};
constexpr std::string_view kHeader = "[2023-04-07] [09-05-33] [T:7    ] ";

// The parts of a log line whose header has the expected shape.
struct ParsedLine {
    std::string thread;
    std::string tag;
    std::string message;
};

std::optional<ParsedLine> ParseLine(std::string_view line)
{
    constexpr std::string_view kShape = "[9999-99-99] [99-99-99] [T:"; // 9: any digit
    if (line.size() < kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (kShape[i] == '9' ? !digit : line[i] != kShape[i])
            return std::nullopt;
    }
    line.remove_prefix(kShape.size());
    // The thread number, left-aligned in at least five characters.
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos || close < 5)
        return std::nullopt;
    const std::string_view field = line.substr(0, close);
    const std::size_t digits = std::min(field.find_first_not_of("0123456789"), field.size());
    if (digits == 0 || field.find_first_not_of(' ', digits) != std::string_view::npos)
        return std::nullopt;
    line.remove_prefix(close);
    if (line.size() < 11 || !line.starts_with("] [") || line.substr(8, 3) != "]: ")
        return std::nullopt;
    return ParsedLine{std::string(field.substr(0, digits)), std::string(line.substr(3, 5)),
                      std::string(line.substr(11))};
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::u16string Numbered(int number)
{
    return u"C:\\App\\Log\\Lockora_" + std::u16string(1, static_cast<char16_t>(u'0' + number)) + u".log";
}

class DiagnosticLogTest : public SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        std::filesystem::create_directories(sandbox().host(kLogFolder));
    }

    void SetLevelText(std::string_view level)
    {
        WriteHostFile(sandbox(), kConfig, "[LOG]\r\nLEVEL=" + std::string(level) + "\r\n");
    }

    std::string Read(std::u16string_view path) { return ReadHostFile(sandbox(), path); }
    bool Exists(std::u16string_view path) { return std::filesystem::exists(sandbox().host(path)); }
    void Resize(std::u16string_view path, std::uintmax_t size)
    {
        WriteHostFile(sandbox(), path, "");
        std::filesystem::resize_file(sandbox().host(path), size);
    }
    std::uintmax_t SizeOf(std::u16string_view path) { return std::filesystem::file_size(sandbox().host(path)); }
};

TEST_F(DiagnosticLogTest, LevelDecidesWhichEntryPointsWrite)
{
    const struct {
        const char* level;
        std::string expected;
    } cases[] = {
        {"0", ""},
        {"1", std::string(kHeader) + "[LESS ]: opt failed ret=4!\n"},
        {"2", std::string(kHeader) + "[DEBUG]: Setting file is a.dat\n" + std::string(kHeader) +
                  "[LESS ]: opt failed ret=4!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        SetLevelText(c.level);
        const std::u16string file = u"C:\\App\\Log\\level" + platform::Utf8ToUtf16(c.level) + u".log";
        DiagnosticLog log(kConfig, kFixedSources);
        log.Init(file);
        log.Debug("Setting file is %s", "a.dat");
        log.Less("opt failed ret=%d!", 4);
        ASSERT_TRUE(Exists(file)); // created even when nothing is written
        EXPECT_EQ(Read(file), c.expected);
    }
}

TEST_F(DiagnosticLogTest, MissingLevelIsWrittenBackAsTwo)
{
    DiagnosticLog log(kConfig, kFixedSources);
    EXPECT_EQ(platform::GetPrivateProfileString(u"LOG", u"LEVEL", u"", kConfig), u"2");
    log.Init(std::u16string(kLogFile));
    log.Debug("x");
    EXPECT_EQ(Read(kLogFile), std::string(kHeader) + "[DEBUG]: x\n");
}

TEST_F(DiagnosticLogTest, LevelAboveTwoIsRewrittenAndValidLevelIsKept)
{
    SetLevelText("7");
    DiagnosticLog rewritten(kConfig, kFixedSources);
    EXPECT_EQ(platform::GetPrivateProfileString(u"LOG", u"LEVEL", u"", kConfig), u"2");

    SetLevelText("1");
    const std::string before = Read(kConfig);
    DiagnosticLog kept(kConfig, kFixedSources);
    EXPECT_EQ(Read(kConfig), before);
    kept.Init(std::u16string(kLogFile));
    kept.Debug("hidden");
    EXPECT_EQ(Read(kLogFile), "");
}

TEST_F(DiagnosticLogTest, LinesBeforeInitOrWithoutFolderAreLostAndOpenIsRetried)
{
    DiagnosticLog log(kConfig, kFixedSources);
    log.Less("before init");
    EXPECT_TRUE(std::filesystem::is_empty(sandbox().host(kLogFolder)));

    std::filesystem::remove(sandbox().host(kLogFolder));
    log.Init(std::u16string(kLogFile));
    log.Less("no folder");
    std::filesystem::create_directories(sandbox().host(kLogFolder));
    log.Less("folder back");
    EXPECT_EQ(Read(kLogFile), std::string(kHeader) + "[LESS ]: folder back\n");
}

TEST_F(DiagnosticLogTest, AppendsToExistingFile)
{
    WriteHostFile(sandbox(), kLogFile, "earlier\n");
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));
    log.Less("later");
    EXPECT_EQ(Read(kLogFile), "earlier\n" + std::string(kHeader) + "[LESS ]: later\n");
}

TEST_F(DiagnosticLogTest, FileOfExactlyTheLimitIsNotRotated)
{
    const std::string line = std::string(kHeader) + "[LESS ]: edge\n";
    Resize(kLogFile, DiagnosticLog::kSizeLimit - line.size());
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));
    log.Less("edge");
    EXPECT_EQ(SizeOf(kLogFile), DiagnosticLog::kSizeLimit);
    EXPECT_FALSE(Exists(Numbered(1)));
}

TEST_F(DiagnosticLogTest, LinePassingTheLimitEndsTheFileAndOlderFilesShift)
{
    for (int number = 1; number <= 5; ++number)
        WriteHostFile(sandbox(), Numbered(number), "old " + std::to_string(number));
    Resize(kLogFile, DiagnosticLog::kSizeLimit);
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));

    log.Less("last of the file");
    const std::string last = std::string(kHeader) + "[LESS ]: last of the file\n";
    const std::string rotated = Read(Numbered(1));
    ASSERT_EQ(rotated.size(), DiagnosticLog::kSizeLimit + last.size());
    EXPECT_EQ(rotated.substr(DiagnosticLog::kSizeLimit), last);
    for (int number = 2; number <= 5; ++number)
        EXPECT_EQ(Read(Numbered(number)), "old " + std::to_string(number - 1));
    EXPECT_FALSE(Exists(u"C:\\App\\Log\\Lockora_6.log"));
    EXPECT_EQ(Read(kLogFile), "");

    log.Less("fresh");
    EXPECT_EQ(Read(kLogFile), std::string(kHeader) + "[LESS ]: fresh\n");
}

TEST_F(DiagnosticLogTest, OversizedFileIsRotatedWhenOpened)
{
    WriteHostFile(sandbox(), Numbered(1), "older");
    Resize(kLogFile, DiagnosticLog::kSizeLimit + 1);
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));
    EXPECT_EQ(SizeOf(Numbered(1)), DiagnosticLog::kSizeLimit + 1);
    EXPECT_EQ(Read(Numbered(2)), "older");
    EXPECT_FALSE(Exists(Numbered(3)));
    EXPECT_EQ(Read(kLogFile), "");
}

TEST_F(DiagnosticLogTest, RotationThatCannotRenameContinuesInTheCurrentFile)
{
    // Folders cannot be deleted as files, and a move never replaces them.
    for (int number = 1; number <= 5; ++number)
        std::filesystem::create_directories(sandbox().host(Numbered(number)) + "/content");
    Resize(kLogFile, DiagnosticLog::kSizeLimit + 1);
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));
    log.Less("one");
    log.Less("two");

    const std::string content = Read(kLogFile);
    EXPECT_EQ(content.size(), DiagnosticLog::kSizeLimit + 1 + 2 * (kHeader.size() + 13));
    EXPECT_TRUE(content.ends_with("[LESS ]: one\n" + std::string(kHeader) + "[LESS ]: two\n"));
    for (int number = 1; number <= 5; ++number)
        EXPECT_TRUE(platform::IsDirectory(Numbered(number)));
}

TEST_F(DiagnosticLogTest, RotationBlockedByReadOnlyOldestIsRetriedWithTheNextLine)
{
    for (int number = 1; number <= 5; ++number)
        WriteHostFile(sandbox(), Numbered(number), "old " + std::to_string(number));
    ASSERT_TRUE(platform::SetFileAttributes(Numbered(5), platform::kAttrReadOnly).ok());
    Resize(kLogFile, DiagnosticLog::kSizeLimit + 1);
    DiagnosticLog log(kConfig, kFixedSources);
    log.Init(std::u16string(kLogFile));
    log.Less("kept");
    for (int number = 1; number <= 5; ++number)
        EXPECT_EQ(Read(Numbered(number)), "old " + std::to_string(number));
    EXPECT_TRUE(Read(kLogFile).ends_with("[LESS ]: kept\n"));

    ASSERT_TRUE(platform::SetFileAttributes(Numbered(5), platform::kAttrNormal).ok());
    log.Less("moves");
    EXPECT_TRUE(Read(Numbered(1)).ends_with("[LESS ]: kept\n" + std::string(kHeader) + "[LESS ]: moves\n"));
    EXPECT_EQ(Read(Numbered(5)), "old 4");
    EXPECT_EQ(Read(kLogFile), "");
}

// Each file operation of a rotation fails in turn: every older file is kept
// under one name, the full file is kept whole, and the next line is written.
TEST_F(DiagnosticLogTest, ARotationThatFailsAnywhereLosesNoFile)
{
    const std::uint64_t cases = lockora::testing::SweepFaults("rotating the log", [&](std::uint64_t n) {
        std::filesystem::remove_all(sandbox().host(kLogFolder));
        std::filesystem::create_directories(sandbox().host(kLogFolder));
        for (int number = 1; number <= 4; ++number)
            WriteHostFile(sandbox(), Numbered(number), "old " + std::to_string(number));
        Resize(kLogFile, DiagnosticLog::kSizeLimit);
        DiagnosticLog log(kConfig, kFixedSources);
        if (!lockora::testing::RunWithNthOperationFailing(n, platform::kErrorDiskFull, [&] {
                log.Init(std::u16string(kLogFile));
                log.Less("last of the file");
            }))
            return false;

        log.Less("next");
        std::vector<std::string> files;
        for (int number = 1; number <= 5; ++number)
            files.push_back(Exists(Numbered(number)) ? Read(Numbered(number)) : "");
        files.push_back(Read(kLogFile));
        for (int number = 1; number <= 4; ++number)
            EXPECT_EQ(std::count(files.begin(), files.end(), "old " + std::to_string(number)), 1) << number;
        EXPECT_EQ(std::count_if(files.begin(), files.end(),
                                [](const std::string& file) {
                                    return file.size() >= DiagnosticLog::kSizeLimit &&
                                           file.find_first_not_of('\0') >= DiagnosticLog::kSizeLimit;
                                }),
                  1);
        // Written, and rotated away with the full file when it passed the limit.
        EXPECT_TRUE(files.back().ends_with("[LESS ]: next\n") || files.front().ends_with("[LESS ]: next\n"));
        return true;
    });
    EXPECT_GE(cases, 5u);
}

TEST_F(DiagnosticLogTest, ConcurrentThreadsWriteWholeLinesOnly)
{
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 60; // every line is flushed to the disk: keep the run short
    DiagnosticLog log(kConfig);
    log.Init(std::u16string(kLogFile));
    {
        std::vector<std::jthread> workers;
        for (int worker = 0; worker < kThreads; ++worker) {
            workers.emplace_back([&log, worker] {
                for (int line = 0; line < kLinesEach; ++line)
                    log.Debug("worker %d line %d %s", worker, line, "padding text to widen the race window");
            });
        }
    }

    int perWorker[kThreads] = {};
    std::string threadOf[kThreads];
    for (const std::string& text : SplitLines(Read(kLogFile))) {
        const auto line = ParseLine(text);
        ASSERT_TRUE(line.has_value()) << text;
        EXPECT_EQ(line->tag, "DEBUG");
        int worker = -1;
        int number = -1;
        ASSERT_EQ(std::sscanf(line->message.c_str(), "worker %d line %d", &worker, &number), 2) << text;
        ASSERT_TRUE(worker >= 0 && worker < kThreads) << text;
        EXPECT_EQ(line->message, "worker " + std::to_string(worker) + " line " + std::to_string(number) +
                                     " padding text to widen the race window");
        EXPECT_EQ(number, perWorker[worker]) << "lines of one thread stay in order";
        ++perWorker[worker];
        if (threadOf[worker].empty())
            threadOf[worker] = line->thread;
        EXPECT_EQ(threadOf[worker], line->thread);
    }
    for (int worker = 0; worker < kThreads; ++worker)
        EXPECT_EQ(perWorker[worker], kLinesEach);
}

TEST_F(DiagnosticLogTest, ProcessLogWritesBesideTheExecutable)
{
    InitLog(std::u16string(kLogFile));
    LogLess("opt file:%s failed!", "C:\\Data\\a.txt");
    LogDebug("Enc or dec file finished!");

    const std::vector<std::string> lines = SplitLines(Read(kLogFile));
    ASSERT_EQ(lines.size(), 2u);
    const auto less = ParseLine(lines[0]);
    const auto debug = ParseLine(lines[1]);
    ASSERT_TRUE(less && debug) << Read(kLogFile);
    EXPECT_EQ(less->tag, "LESS ");
    EXPECT_EQ(less->message, "opt file:C:\\Data\\a.txt failed!");
    EXPECT_EQ(debug->tag, "DEBUG");
    EXPECT_EQ(debug->message, "Enc or dec file finished!");
    EXPECT_EQ(less->thread, debug->thread);
    EXPECT_EQ(platform::GetPrivateProfileString(u"LOG", u"LEVEL", u"", kConfig), u"2");
}

} // namespace
} // namespace lockora::logging
