#include "settings/soft_password.h"

#include "crypto/password_key.h"
#include "crypto/secure_zero.h"

#include <string>

namespace lockora::settings {

bridge::ScriptValue SetSoftPassword(SettingsHolder& settings, const bridge::ScriptValue& argument)
{
    std::u16string oldPassword = argument.At(0).ToString();
    std::u16string newPassword = argument.At(1).ToString();
    // Keys are derived before the lock is taken; the texts are wiped at once.
    const std::uint64_t oldKey = crypto::PasswordKey(oldPassword);
    const std::uint64_t newKey = crypto::PasswordKey(newPassword);
    crypto::SecureClear(oldPassword);
    crypto::SecureClear(newPassword);

    const bool accepted = settings.Update([&](SettingsRecord& record) {
        if (record.uPwd != 0 && record.uPwd != oldKey)
            return false;
        record.uPwd = newKey;
        return true;
    });
    return bridge::ScriptValue::Int(accepted ? kSoftPasswordAccepted : kSoftPasswordWrong);
}

} // namespace lockora::settings
