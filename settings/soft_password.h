// The program password: only its key (uPwd) is kept, never the text.
#pragma once

#include "bridge/script_value.h"
#include "settings/settings_holder.h"

#include <cstdint>

namespace lockora::settings {

inline constexpr std::int32_t kSoftPasswordAccepted = 0;
inline constexpr std::int32_t kSoftPasswordWrong = 1;

// [old password, new password], each taken as text. With a password set, the
// old one must match (else kSoftPasswordWrong and nothing changes); without
// one, the old text is ignored. uPwd becomes the new password's key in memory
// only: the next save of the record stores it. Checking a typed password is
// the same call with it in both places.
bridge::ScriptValue SetSoftPassword(SettingsHolder& settings, const bridge::ScriptValue& argument);

} // namespace lockora::settings
