#include "cli/engine_listener.h"

namespace lockora::cli {

EngineListener::EngineListener(ProgressBar& bar) : bar_(bar)
{
    previous_ = bridge::InstallNotifyUI([this](const bridge::ScriptValue& message) { Receive(message); });
}

EngineListener::~EngineListener()
{
    bridge::InstallNotifyUI(std::move(previous_));
}

void EngineListener::BeginItem(std::string label, std::string shredLabel, const std::uint64_t* total)
{
    events_ = {};
    shredLabel_ = std::move(shredLabel);
    shredding_ = false;
    total_ = total;
    bar_.Start(std::move(label), total_ ? *total_ : 0);
}

void EngineListener::Receive(const bridge::ScriptValue& message)
{
    const bridge::ScriptValue& param = message.At(1);
    switch (message.At(0).GetInt()) {
    case bridge::MSG_SET_PRGRRESS:
    case bridge::MSG_SET_DEL_PRGRRESS:
        if (message.At(0).GetInt() == bridge::MSG_SET_DEL_PRGRRESS && !shredding_) {
            shredding_ = true;
            bar_.Start(shredLabel_, total_ ? *total_ : 0);
        }
        bar_.SetTotal(total_ ? *total_ : 0);
        bar_.Show(param.At(1).GetInt());
        break;
    case bridge::MSG_SHOW_ERROR_INFO:
        events_.systemText = param.At(0).GetString();
        events_.systemError = static_cast<platform::ErrorCode>(param.At(1).GetInt());
        break;
    case bridge::MSG_DENCRYPT_FAILED:
        events_.decryptFailure = param.At(1).GetInt();
        break;
    case bridge::MSG_ENCRYPT_FAILED:
        events_.encryptFailed = true;
        break;
    case bridge::MSG_BACKUP_FILE_NAME_EXIST:
        events_.backupFailed = param.GetString();
        break;
    case bridge::MSG_ENCRYPT_FILE_HAD_MODIFY:
        events_.checksumMismatch = true;
        break;
    default:
        break;
    }
}

} // namespace lockora::cli
