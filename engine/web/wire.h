// Messages between the engine and the page runtime: JSON text over the
// WebSocket.
//
// Script values travel as JSON: undefined is null, an error string is the
// object {"error": text}, arrays are arrays. Page to engine: "ready",
// "call" (a native function), "answer" (to an invocation), "service" (the
// runtime's pickers, scans and renames) and "close". Engine to page:
// "result" (of a call or service), "invoke" (a page function or a runtime
// function such as the message box), "navigate" and "error".
#pragma once

#include "bridge/script_value.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace lockora::engine::web {

// Deepest nesting of arrays and objects a message may have; deeper input is
// refused before it is parsed, so no recursion can run out of stack.
inline constexpr int kMaxMessageDepth = 64;
// Values in one message; the largest real call (files picked at once) holds
// far fewer, and a message of millions would hold the network thread.
inline constexpr std::size_t kMaxMessageElements = 100'000;

nlohmann::json ToJson(const bridge::ScriptValue& value);

// null (and anything without a script value counterpart) is undefined; a
// number is an int when it is finite and in range (fractions are cut);
// {"error": text} is an error string.
bridge::ScriptValue FromJson(const nlohmann::json& json);

// The message as a JSON object, or nothing when the text is not well-formed
// JSON, not an object, nested too deeply or holds too many values.
std::optional<nlohmann::json> ParseMessage(std::string_view text);

// JSON text; invalid UTF-8 in strings is replaced, never thrown on.
std::string Serialize(const nlohmann::json& json);

} // namespace lockora::engine::web
