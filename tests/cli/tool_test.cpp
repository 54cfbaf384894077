// lockora-xep as a user runs it: a process against files on disk, beside the
// program's own engine driven through the headless engine as the screens
// drive it.
#include "app/main_frame.h"
#include "app/ui_archive.h"
#include "crypto/batch_worker.h"
#include "crypto/container_trailer.h"
#include "crypto/password_key.h"
#include "engine/headless/headless_engine.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "settings/settings_store.h"
#include "tests/cli/tool_process.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace lockora::cli {
namespace {

namespace fs = std::filesystem;
using bridge::ScriptValue;
using lockora::testing::ReadHostFile;
using lockora::testing::WriteHostFile;
using testing::TerminalSession;
using testing::ToolProcess;
using testing::ToolRun;
using testing::TreeSnapshot;

const std::map<std::string, std::string> kPassword{{"LOCKORA_PASSWORD", "secret1"}};

std::string Content(std::size_t size)
{
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return content;
}

std::string ToolFailure(const ToolRun& run)
{
    return "status " + std::to_string(run.status) + "\nout: " + run.out + "\nerr: " + run.err;
}

class ToolTest : public lockora::testing::SandboxTest {
protected:
    void SetUp() override
    {
        SandboxTest::SetUp();
        tool_ = std::make_unique<ToolProcess>(sandbox());
    }
    void TearDown() override
    {
        frame_.reset();
        engine_.reset();
        tool_.reset();
        SandboxTest::TearDown();
    }

    ToolRun Tool(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {})
    {
        return tool_->Run(arguments, environment);
    }

    // Runs Encrypted or Decrypted as a page calls it and waits for the
    // batch's finish message.
    void Program(const std::string& function, std::u16string_view path)
    {
        if (!frame_) {
            engine_ = std::make_unique<engine::HeadlessEngine>();
            engine_->DefinePageFunction("BackupServiceCallUI", [this](const ScriptValue& message) {
                std::lock_guard lock(mutex_);
                if (message.At(0).GetInt() == bridge::MSG_ENCORDEC_FINISH)
                    ++finished_;
                finish_.notify_all();
                return ScriptValue();
            });
            frame_ = std::make_unique<app::MainFrame>(*engine_, engine_->OpenArchive(app::UiArchiveBlock()));
            frame_->LoadPage(u"this://app/index.html");
        }
        const int before = finished_;
        const ScriptValue request = ScriptValue::Array(
            {ScriptValue::String(u"secret1"), ScriptValue::Array({ScriptValue::String(std::u16string(path))})});
        ASSERT_EQ(engine_->CallNative(function, {request}), ScriptValue::Int(0));
        std::unique_lock lock(mutex_);
        ASSERT_TRUE(finish_.wait_for(lock, testing::kProcessBound, [&] { return finished_ > before; }));
        lock.unlock();
        ASSERT_TRUE(crypto::testing::WaitForCryptWorkers());
    }

    bool Exists(std::u16string_view path) { return fs::exists(sandbox().host(path)); }
    std::string Data() { return TreeSnapshot(sandbox().host(u"C:\\Data")); }

    std::unique_ptr<ToolProcess> tool_;

private:
    std::unique_ptr<engine::HeadlessEngine> engine_;
    std::unique_ptr<app::MainFrame> frame_;
    std::mutex mutex_;
    std::condition_variable finish_;
    int finished_ = 0;
};

TEST_F(ToolTest, ContainersPassBetweenTheToolAndTheProgramByteForByte)
{
    const std::string content = Content(5000);
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", content);
    WriteHostFile(sandbox(), u"C:\\Data\\same.txt", content);
    WriteHostFile(sandbox(), u"C:\\Data\\docs\\sub\\b.txt", "inner");
    fs::create_directories(sandbox().host(u"C:\\Data\\docs\\empty"));
    // The first line of the file, without its line end, is the password.
    WriteHostFile(sandbox(), u"C:\\pw.txt", "secret1\r\nnot this");

    const ToolRun encrypted = Tool({"encrypt", "--password-file", sandbox().host(u"C:\\pw.txt"), "a.txt", "docs/"});
    ASSERT_EQ(encrypted.status, 0) << ToolFailure(encrypted);
    EXPECT_EQ(encrypted.out, "a.txt.xep\ndocs.xep\n");
    EXPECT_EQ(encrypted.err, "");

    // The program writes the same bytes for the same content and password.
    Program("Encrypted", u"C:\\Data\\same.txt");
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\a.txt.xep"), ReadHostFile(sandbox(), u"C:\\Data\\same.txt.xep"));

    // What the tool wrote, the program restores.
    Program("Decrypted", u"C:\\Data\\a.txt.xep");
    Program("Decrypted", u"C:\\Data\\docs.xep");
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\a(1).txt"), content);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\docs(1)\\sub\\b.txt"), "inner");
    EXPECT_TRUE(fs::is_directory(sandbox().host(u"C:\\Data\\docs(1)\\empty")));

    // What the program wrote, the tool restores, named by the program's rules.
    const ToolRun decrypted = Tool({"decrypt", "same.txt.xep"}, kPassword);
    ASSERT_EQ(decrypted.status, 0) << ToolFailure(decrypted);
    EXPECT_EQ(decrypted.out, "same(1).txt\n");
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\same(1).txt"), content);

    // The password is in no log line of either front end.
    for (const auto& entry : fs::recursive_directory_iterator(sandbox().host(u"C:\\App\\Log"))) {
        std::ifstream log(entry.path());
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.find("secret1"), std::string::npos) << entry.path();
    }
}

TEST_F(ToolTest, StrongContainersAreWrittenOnRequestAndReadByEveryCommandAndByTheProgram)
{
    const std::string content = Content(70000);
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", content);
    WriteHostFile(sandbox(), u"C:\\Data\\docs\\sub\\b.txt", "inner");

    EXPECT_EQ(Tool({"decrypt", "--strong", "a.txt"}, kPassword).status, 2);
    const ToolRun encrypted = Tool({"encrypt", "--strong", "a.txt", "docs"}, kPassword);
    ASSERT_EQ(encrypted.status, 0) << ToolFailure(encrypted);
    const ToolRun info = Tool({"info", "a.txt.xep", "docs.xep"});
    EXPECT_EQ(info.out, "a.txt.xep: file container, strong format, recovery off, " +
                            std::to_string(fs::file_size(sandbox().host(u"C:\\Data\\a.txt.xep"))) +
                            " bytes; names and sizes are encrypted\n"
                            "docs.xep: folder container, strong format, recovery off, " +
                            std::to_string(fs::file_size(sandbox().host(u"C:\\Data\\docs.xep"))) +
                            " bytes; names and sizes are encrypted\n");
    EXPECT_EQ(Tool({"verify", "a.txt.xep", "docs.xep"}, kPassword).status, 0);
    EXPECT_EQ(Tool({"verify", "a.txt.xep"}, {{"LOCKORA_PASSWORD", "secret2"}}).status, 1);

    // The program tells the format by the bytes, whatever its setting.
    Program("Decrypted", u"C:\\Data\\a.txt.xep");
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\a(1).txt"), content);
    const ToolRun decrypted = Tool({"decrypt", "docs.xep"}, kPassword);
    ASSERT_EQ(decrypted.status, 0) << ToolFailure(decrypted);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\docs(1)\\sub\\b.txt"), "inner");

    // The password is in no container and no log line.
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\a.txt.xep").find("secret1"), std::string::npos);
    for (const auto& entry : fs::recursive_directory_iterator(sandbox().host(u"C:\\App\\Log"))) {
        std::ifstream log(entry.path());
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.find("secret1"), std::string::npos) << entry.path();
    }
}

TEST_F(ToolTest, SourceHandlingFollowsTheStoredSettingsUnlessAnOptionChoosesAndShredAsks)
{
    settings::SettingsRecord stored;
    stored.iDelSel = 1;
    stored.bEptCanFgt = true;
    settings::SaveSettings(stored);
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "plain");
    WriteHostFile(sandbox(), u"C:\\Data\\b.txt", "kept");

    ASSERT_EQ(Tool({"encrypt", "a.txt"}, kPassword).status, 0);
    EXPECT_FALSE(Exists(u"C:\\Data\\a.txt"));
    ASSERT_EQ(Tool({"--keep", "encrypt", "b.txt"}, kPassword).status, 0);
    EXPECT_TRUE(Exists(u"C:\\Data\\b.txt"));
    // The recovery flag comes from the stored settings too.
    EXPECT_EQ(Tool({"info", "a.txt.xep"}).out,
              "a.txt.xep: file container, recovery flag on, 37 bytes, content 5 bytes\n");

    const ToolRun shredded = Tool({"decrypt", "--shred", "a.txt.xep"}, kPassword);
    ASSERT_EQ(shredded.status, 0) << ToolFailure(shredded);
    EXPECT_EQ(ReadHostFile(sandbox(), u"C:\\Data\\a.txt"), "plain");
    EXPECT_FALSE(Exists(u"C:\\Data\\a.txt.xep"));

    // Shredding without a terminal needs -y.
    WriteHostFile(sandbox(), u"C:\\Data\\tree\\sub\\c.txt", "gone");
    EXPECT_EQ(Tool({"shred", "b.txt", "tree"}).status, 2);
    EXPECT_TRUE(Exists(u"C:\\Data\\b.txt"));
    const ToolRun yes = Tool({"shred", "-y", "b.txt", "tree"});
    EXPECT_EQ(yes.status, 0) << ToolFailure(yes);
    EXPECT_EQ(yes.out, "b.txt: shredded\ntree: shredded\n");
    EXPECT_FALSE(Exists(u"C:\\Data\\b.txt"));
    EXPECT_FALSE(Exists(u"C:\\Data\\tree"));
}

TEST_F(ToolTest, BadContainersAndPasswordsWriteNothingAndEveryItemIsTried)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", Content(3000));
    ASSERT_EQ(Tool({"encrypt", "a.txt"}, kPassword).status, 0);
    const std::string container = ReadHostFile(sandbox(), u"C:\\Data\\a.txt.xep");
    std::string trailerDamaged = container;
    trailerDamaged.back() ^= 1;
    std::string bodyDamaged = container;
    bodyDamaged[100] ^= 1;
    WriteHostFile(sandbox(), u"C:\\Data\\trailer.xep", trailerDamaged);
    WriteHostFile(sandbox(), u"C:\\Data\\body.xep", bodyDamaged);
    // A folder container whose second record climbs out of its folder.
    std::string crafted = std::string("\xFF\x01\xFF\xFF\xFF", 5) + std::string("\\\0o\0k\0\0\0", 8) +
                          std::string("\xFF\x02\xFF\xFF\xFF", 5) + std::string("\\\0.\0.\0\\\0x\0\0\0", 12) +
                          std::string(8, '\0');
    auto trailer = crypto::ContainerTrailer::Make(false, crypto::kKindFolder, crypto::PasswordCheck(u"secret1"));
    trailer.Seal(crypto::kCrcStart);
    crafted.append(trailer.bytes.begin(), trailer.bytes.end());
    WriteHostFile(sandbox(), u"C:\\Data\\crafted.xep", crafted);
    fs::create_directories(sandbox().host(u"C:\\Data\\folder"));

    const std::string before = Data();
    const ToolRun wrong = Tool({"decrypt", "a.txt.xep"}, {{"LOCKORA_PASSWORD", "wrong-password"}});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "lockora-xep: a.txt.xep: Wrong password\n");

    // One bad item never stops the others; each gets its own line.
    const ToolRun mixed =
        Tool({"decrypt", "trailer.xep", "crafted.xep", "missing.xep", "folder", "a.txt.xep", "./a.txt.xep"}, kPassword);
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, "a(1).txt\n");
    for (const char* expected : {"trailer.xep: Damaged file", "crafted.xep: Damaged file",
                                 "missing.xep: The system cannot find the file specified.",
                                 "folder: is a folder, not a container", "./a.txt.xep: is given more than once"}) {
        EXPECT_NE(mixed.err.find(expected), std::string::npos) << expected << "\n" << mixed.err;
    }
    fs::remove(sandbox().host(u"C:\\Data\\a(1).txt"));
    EXPECT_EQ(Data(), before);
    EXPECT_FALSE(Exists(u"C:\\x"));

    // verify decrypts in memory only; info needs no password.
    const ToolRun verified = Tool({"verify", "a.txt.xep", "body.xep", "trailer.xep"}, kPassword);
    EXPECT_EQ(verified.status, 1);
    EXPECT_EQ(verified.out, "a.txt.xep: OK, file container\n");
    EXPECT_NE(verified.err.find("body.xep: Damaged file: the content does not match its checksum"), std::string::npos)
        << verified.err;
    const ToolRun info = Tool({"info", "crafted.xep", "a.txt.xep"});
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.out, "a.txt.xep: file container, recovery flag off, 3032 bytes, content 3000 bytes\n");
    EXPECT_EQ(Data(), before);

    // An altered body restores completely, as in the program, but the run fails.
    const ToolRun altered = Tool({"decrypt", "body.xep"}, kPassword);
    EXPECT_EQ(altered.status, 1);
    EXPECT_EQ(altered.out, "body\n");
    EXPECT_NE(altered.err.find("does not match its checksum; the restored copy was kept"), std::string::npos);
}

TEST_F(ToolTest, BadUsageExitsWithTwoAndTouchesNothing)
{
    WriteHostFile(sandbox(), u"C:\\Data\\a.txt", "plain");
    const std::string before = Data();
    const std::vector<std::vector<std::string>> usages{
        {},
        {"frobnicate", "a.txt"},
        {"encrypt"},
        {"encrypt", "--bogus", "a.txt"},
        {"encrypt", "--password=secret1", "a.txt"},
        {"verify", "--keep", "a.txt"},
        {"encrypt", "--keep", "--delete", "a.txt"},
        {"encrypt", "a.txt"}, // no password source and no terminal
        {"encrypt", "--password-file", "/nonexistent/pw", "a.txt"},
    };
    for (const auto& arguments : usages) {
        const ToolRun run = Tool(arguments);
        EXPECT_EQ(run.status, 2) << ToolFailure(run);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("lockora-xep: "), std::string::npos);
    }
    EXPECT_EQ(Data(), before);

    const ToolRun help = Tool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: lockora-xep COMMAND"));
    EXPECT_EQ(Tool({"-V"}).out, "lockora-xep (Ombrix Lockora Sentinex) 1.0.0.0, product 1.0.0.0\n");
}

TEST_F(ToolTest, OnATerminalThePasswordIsAskedTwiceWithoutEchoAndProgressIsShown)
{
    WriteHostFile(sandbox(), u"C:\\Data\\big.bin", Content(1 << 20));
    const std::string folder = sandbox().host(u"C:\\Data");
    {
        TerminalSession session(*tool_, {"encrypt", "big.bin"}, folder);
        ASSERT_TRUE(session.WaitFor("Set a password: ")) << session.screen();
        session.Type("Typed#Secret\n");
        ASSERT_TRUE(session.WaitFor("Confirm the password: ")) << session.screen();
        std::ifstream cmdline("/proc/" + std::to_string(session.pid()) + "/cmdline");
        const std::string arguments((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
        EXPECT_NE(arguments.find("big.bin"), std::string::npos);
        EXPECT_EQ(arguments.find("Typed#Secret"), std::string::npos);
        session.Type("Typed#Secret\n");
        EXPECT_EQ(session.Finish(), 0) << session.screen();
        EXPECT_EQ(session.screen().find("Typed#Secret"), std::string::npos) << session.screen();
        EXPECT_NE(session.screen().find("100%  1.0 MiB / 1.0 MiB"), std::string::npos) << session.screen();
        EXPECT_NE(session.screen().find("big.bin.xep"), std::string::npos);
    }
    ASSERT_EQ(Tool({"verify", "big.bin.xep"}, {{"LOCKORA_PASSWORD", "Typed#Secret"}}).status, 0);

    {
        TerminalSession session(*tool_, {"encrypt", "big.bin"}, folder);
        ASSERT_TRUE(session.WaitFor("Set a password: "));
        session.Type("Typed#Secret\n");
        ASSERT_TRUE(session.WaitFor("Confirm the password: "));
        session.Type("Other#Secret\n");
        EXPECT_EQ(session.Finish(), 1);
        EXPECT_NE(session.screen().find("Passwords do not match."), std::string::npos);
    }
    EXPECT_FALSE(Exists(u"C:\\Data\\big.bin(1).xep"));

    {
        TerminalSession session(*tool_, {"shred", "big.bin"}, folder);
        ASSERT_TRUE(session.WaitFor("Are you sure to continue? [y/N] "));
        session.Type("n\n");
        EXPECT_EQ(session.Finish(), 1);
    }
    EXPECT_TRUE(Exists(u"C:\\Data\\big.bin"));
}

TEST_F(ToolTest, CtrlCFinishesTheItemInProgressAndStartsNoOther)
{
    std::vector<std::string> arguments{"encrypt"};
    for (const char* name : {"1.bin", "2.bin", "3.bin", "4.bin"}) {
        WriteHostFile(sandbox(), u"C:\\Data\\" + platform::Utf8ToUtf16(name), Content(32 << 20));
        arguments.push_back(name);
    }
    TerminalSession session(*tool_, arguments, sandbox().host(u"C:\\Data"), kPassword);
    ASSERT_TRUE(session.WaitFor("encrypting 1.bin")) << session.screen();
    session.Type("\x03");
    EXPECT_EQ(session.Finish(), 128 + SIGINT) << session.screen();
    EXPECT_NE(session.screen().find("items were not started"), std::string::npos) << session.screen();

    // Whatever was written is a whole container.
    std::vector<std::string> written;
    for (const char* name : {"1.bin.xep", "2.bin.xep", "3.bin.xep", "4.bin.xep"}) {
        if (fs::exists(sandbox().host(u"C:\\Data\\" + platform::Utf8ToUtf16(name))))
            written.push_back(name);
    }
    ASSERT_FALSE(written.empty());
    EXPECT_LT(written.size(), 4u);
    written.insert(written.begin(), "verify");
    const ToolRun verified = Tool(written, kPassword);
    EXPECT_EQ(verified.status, 0) << ToolFailure(verified);
}

} // namespace
} // namespace lockora::cli
