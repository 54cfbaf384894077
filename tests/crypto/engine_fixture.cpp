#include "tests/crypto/engine_fixture.h"

#include "crypto/abandon_item.h"
#include "platform/folders.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lockora::crypto::testing {

void EngineTest::SetUp()
{
    SandboxTest::SetUp();
    previousDelivery_ = bridge::InstallNotifyUI([this](const bridge::ScriptValue& message) {
        std::lock_guard lock(mutex_);
        notifications_.push_back(message);
    });
    previousBoxHandler_ = platform::SetMessageBoxHandler([this](const std::u16string&, const std::u16string&, std::uint32_t) {
        std::lock_guard lock(mutex_);
        ++messageBoxes_;
        return platform::kIdOk;
    });
}

void EngineTest::TearDown()
{
    platform::SetMessageBoxHandler(std::move(previousBoxHandler_));
    bridge::InstallNotifyUI(std::move(previousDelivery_));
    SandboxTest::TearDown();
}

std::optional<std::string> EngineTest::EncryptItem(const std::u16string& source, const std::u16string& output,
                                                   const std::u16string& password, bool recoveryFlag)
{
    CryptEngine engine;
    engine.bEncrypt = true;
    engine.bEptCanFgt = recoveryFlag;
    engine.strSrcPath = source;
    engine.strOutPath = output;
    engine.DeriveKeys(password);
    const bool folder = platform::IsDirectory(source);
    if (!folder) {
        auto opened = platform::File::Open(source, platform::Access::ReadWrite, platform::Share::None,
                                           platform::Disposition::OpenExisting);
        EXPECT_TRUE(opened.ok()) << opened.code();
        engine.hSrcFile = std::move(opened).value();
    }
    auto created = platform::File::Open(output, platform::Access::ReadWrite, platform::Share::None,
                                        platform::Disposition::CreateNew);
    EXPECT_TRUE(created.ok()) << created.code();
    engine.hOutFile = std::move(created).value();
    BuildKeyTable(engine.uKey, engine.arrKeyTable);
    try {
        engine.uCrc = kCrcStart;
        if (folder) {
            engine.ovlContainer = 0;
            engine.PackFolder(source);
            engine.WriteTrailer(kKindFolder);
        } else {
            engine.uTotal = engine.hSrcFile.Size().value();
            StreamCursor cursor;
            engine.TransformStream(engine.uTotal, cursor, ProgressMode::WritePosition);
            engine.WriteTrailer(kKindFile);
        }
    } catch (const AbandonItem& abandoned) {
        return abandoned.reason();
    }
    return std::nullopt;
}

DecryptOutcome EngineTest::DecryptItem(const std::u16string& container, const std::u16string& output,
                                       const std::u16string& password, std::uint64_t programKey)
{
    CryptEngine engine;
    engine.bEncrypt = false;
    engine.uPwd = programKey;
    engine.strSrcPath = container;
    engine.strOutPath = output;
    engine.DeriveKeys(password);
    auto opened = platform::File::Open(container, platform::Access::ReadWrite, platform::Share::None,
                                       platform::Disposition::OpenExisting);
    EXPECT_TRUE(opened.ok()) << opened.code();
    engine.hSrcFile = std::move(opened).value();
    auto created = platform::File::Open(output, platform::Access::ReadWrite, platform::Share::None,
                                        platform::Disposition::CreateNew);
    EXPECT_TRUE(created.ok()) << created.code();
    engine.hOutFile = std::move(created).value();

    DecryptOutcome outcome;
    outcome.trailer = engine.ReadTrailer().outcome;
    if (outcome.trailer != TrailerOutcome::Ok)
        return outcome;
    try {
        engine.DecryptBody();
    } catch (const AbandonItem& abandoned) {
        outcome.abandoned = abandoned.reason();
        return outcome;
    }
    outcome.checksumOk = engine.VerifyDataChecksum();
    return outcome;
}

std::vector<bridge::ScriptValue> EngineTest::Notifications()
{
    std::lock_guard lock(mutex_);
    return notifications_;
}

std::vector<std::int32_t> EngineTest::ProgressPercents()
{
    std::vector<std::int32_t> percents;
    for (const auto& message : Notifications()) {
        if (message.At(0).GetInt() == bridge::MSG_SET_PRGRRESS)
            percents.push_back(message.At(1).At(1).GetInt());
    }
    return percents;
}

int EngineTest::MessageBoxes()
{
    std::lock_guard lock(mutex_);
    return messageBoxes_;
}

void EngineTest::ClearRecords()
{
    std::lock_guard lock(mutex_);
    notifications_.clear();
    messageBoxes_ = 0;
}

std::vector<std::pair<std::string, std::string>> SnapshotTree(const std::string& root)
{
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(entry.path(), root).string();
        if (entry.is_directory() && !entry.is_symlink()) {
            tree.emplace_back(relative + "/", "");
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        tree.emplace_back(relative, content.str());
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

std::string Pattern(std::size_t length, unsigned mul, unsigned add)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * mul + add) % 256);
    return bytes;
}

} // namespace lockora::crypto::testing
