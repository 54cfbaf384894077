#include "crypto/password_key.h"
#include "settings/settings_functions.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"
#include "settings/soft_password.h"
#include "tests/support/sandbox.h"

#include <gtest/gtest.h>

namespace lockora::settings {
namespace {

using bridge::ScriptValue;

ScriptValue Passwords(std::u16string oldPassword, std::u16string newPassword)
{
    return ScriptValue::Array({ScriptValue::String(std::move(oldPassword)), ScriptValue::String(std::move(newPassword))});
}

class SoftPasswordTest : public testing::SandboxTest {};

TEST_F(SoftPasswordTest, FirstPasswordIgnoresTheOldText)
{
    SettingsHolder settings;
    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"anything", u"secret1")), ScriptValue::Int(kSoftPasswordAccepted));
    EXPECT_EQ(settings.Snapshot().uPwd, crypto::PasswordKey(u"secret1"));
    EXPECT_EQ(GetSettingInfo(settings).At(9), ScriptValue::Bool(true));
}

TEST_F(SoftPasswordTest, ChangeNeedsTheCurrentPassword)
{
    SettingsHolder settings;
    ASSERT_EQ(SetSoftPassword(settings, Passwords(u"", u"secret1")), ScriptValue::Int(0));

    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"wrong", u"secret2")), ScriptValue::Int(kSoftPasswordWrong));
    EXPECT_EQ(settings.Snapshot().uPwd, crypto::PasswordKey(u"secret1"));

    // Verification is the same call with the typed password twice.
    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"secret1", u"secret1")), ScriptValue::Int(0));
    EXPECT_EQ(settings.Snapshot().uPwd, crypto::PasswordKey(u"secret1"));

    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"secret1", u"secret2")), ScriptValue::Int(0));
    EXPECT_EQ(settings.Snapshot().uPwd, crypto::PasswordKey(u"secret2"));
}

TEST_F(SoftPasswordTest, EmptyPasswordStillCountsAsSet)
{
    SettingsHolder settings;
    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"", u"")), ScriptValue::Int(0));
    EXPECT_NE(settings.Snapshot().uPwd, 0u);
    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"x", u"")), ScriptValue::Int(kSoftPasswordWrong));
}

TEST_F(SoftPasswordTest, OnlyTheLowByteOfEachCharacterCounts)
{
    SettingsHolder settings;
    ASSERT_EQ(SetSoftPassword(settings, Passwords(u"", u"PASSWORD A")), ScriptValue::Int(0));
    EXPECT_EQ(SetSoftPassword(settings, Passwords(u"PASSWORD \u0141", u"PASSWORD A")), ScriptValue::Int(0));
}

TEST_F(SoftPasswordTest, NonTextArgumentsAreTakenAsText)
{
    SettingsHolder settings;
    ASSERT_EQ(SetSoftPassword(settings, ScriptValue::Array({ScriptValue(), ScriptValue::Int(123456)})),
              ScriptValue::Int(0));
    EXPECT_EQ(settings.Snapshot().uPwd, crypto::PasswordKey(u"123456"));
}

TEST_F(SoftPasswordTest, PasswordReachesTheStoreOnlyWithTheNextSave)
{
    SettingsHolder settings;
    settings.Save();
    ASSERT_EQ(SetSoftPassword(settings, Passwords(u"", u"secret1")), ScriptValue::Int(0));
    SettingsRecord stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.uPwd, 0u);

    settings.Save();
    LoadSettings(stored);
    EXPECT_EQ(stored.uPwd, crypto::PasswordKey(u"secret1"));
}

} // namespace
} // namespace lockora::settings
