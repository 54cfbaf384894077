#include "tests/crypto/operation_fixture.h"

#include "crypto/batch_worker.h"
#include "platform/folders.h"

#include <fstream>
#include <sstream>

namespace lockora::crypto::testing {

void OperationTest::SetUp()
{
    SandboxTest::SetUp();
    previousDelivery_ = bridge::InstallNotifyUI([this](const bridge::ScriptValue& message) {
        window_.CallPageFunction("BackupServiceCallUI", message);
    });
    previousBoxHandler_ = platform::SetMessageBoxHandler(
        [](const std::u16string&, const std::u16string&, std::uint32_t) { return platform::kIdOk; });
}

void OperationTest::TearDown()
{
    EXPECT_TRUE(crypto::testing::WaitForCryptWorkers());
    platform::SetMessageBoxHandler(std::move(previousBoxHandler_));
    bridge::InstallNotifyUI(std::move(previousDelivery_));
    SandboxTest::TearDown();
}

int OperationTest::Encrypt(const std::u16string& path, const settings::SettingsRecord& options,
                           const std::u16string& password)
{
    CryptOperation operation;
    operation.ApplyOptions(options);
    operation.engine().bEncrypt = true;
    operation.engine().strongParameters = strongCost_;
    return operation.EncryptItem(path, password);
}

int OperationTest::Decrypt(const std::u16string& path, const settings::SettingsRecord& options,
                           const std::u16string& password)
{
    CryptOperation operation;
    operation.ApplyOptions(options);
    operation.engine().bEncrypt = false;
    return operation.DecryptItem(path, password);
}

std::vector<bridge::ScriptValue> OperationTest::Messages() const
{
    const auto all = window_.CallsOf("BackupServiceCallUI");
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(firstMessage_, all.size())), all.end()};
}

std::vector<std::int32_t> OperationTest::MessageIds() const
{
    std::vector<std::int32_t> ids;
    for (const auto& message : Messages())
        ids.push_back(message.At(0).GetInt());
    return ids;
}

std::vector<bridge::ScriptValue> OperationTest::MessagesOf(std::int32_t id) const
{
    std::vector<bridge::ScriptValue> found;
    for (const auto& message : Messages()) {
        if (message.At(0).GetInt() == id)
            found.push_back(message);
    }
    return found;
}

std::vector<std::int32_t> OperationTest::Percents(std::int32_t id) const
{
    std::vector<std::int32_t> percents;
    for (const auto& message : MessagesOf(id))
        percents.push_back(message.At(1).At(1).GetInt());
    return percents;
}

void OperationTest::ClearMessages()
{
    firstMessage_ = window_.CallsOf("BackupServiceCallUI").size();
}

bool OperationTest::Exists(const std::u16string& path) const
{
    return platform::PathExists(path);
}

std::string OperationTest::Read(const std::u16string& path)
{
    return lockora::testing::ReadHostFile(sandbox(), path);
}

void OperationTest::Write(const std::u16string& path, std::string_view bytes)
{
    lockora::testing::WriteHostFile(sandbox(), path, bytes);
}

std::string ReadExpectedContainer(const char* name)
{
    std::ifstream in(std::string(LOCKORA_CRYPTO_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bridge::ScriptValue Message(std::int32_t id, const std::u16string& text, std::int32_t number)
{
    if (id == bridge::MSG_BACKUP_FILE_NAME_EXIST)
        return bridge::ScriptValue::Array({bridge::ScriptValue::Int(id), bridge::ScriptValue::String(text)});
    std::vector<bridge::ScriptValue> param{bridge::ScriptValue::String(text)};
    if (number >= 0)
        param.push_back(bridge::ScriptValue::Int(number));
    return bridge::ScriptValue::Array({bridge::ScriptValue::Int(id), bridge::ScriptValue::Array(std::move(param))});
}

} // namespace lockora::crypto::testing
