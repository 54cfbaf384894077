#include "engine/web/wire.h"

#include "platform/text.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace lockora::engine::web {
namespace {

// Nesting depth of JSON text, counted without parsing it.
// How deeply the text nests and how many values its arrays and objects
// hold at most (commas and openings outside strings), read before parsing.
struct Shape {
    int depth = 0;
    std::size_t elements = 0;
};

Shape ShapeOf(std::string_view text)
{
    Shape shape;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++shape.elements;
            if (++depth > shape.depth)
                shape.depth = depth;
        } else if (c == ',') {
            ++shape.elements;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return shape;
}

} // namespace

nlohmann::json ToJson(const bridge::ScriptValue& value)
{
    using Type = bridge::ScriptValue::Type;
    switch (value.type()) {
    case Type::Undefined:
        return nullptr;
    case Type::Bool:
        return value.GetBool();
    case Type::Int:
        return value.GetInt();
    case Type::String:
        if (value.IsErrorString())
            return nlohmann::json{{"error", platform::Utf16ToUtf8(value.GetString())}};
        return platform::Utf16ToUtf8(value.GetString());
    case Type::Array: {
        nlohmann::json array = nlohmann::json::array();
        for (const auto& element : value.Elements())
            array.push_back(ToJson(element));
        return array;
    }
    }
    return nullptr;
}

bridge::ScriptValue FromJson(const nlohmann::json& json)
{
    using bridge::ScriptValue;
    if (json.is_boolean())
        return ScriptValue::Bool(json.get<bool>());
    if (json.is_number_integer()) {
        if (json.is_number_unsigned()) {
            const auto number = json.get<std::uint64_t>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
                return {};
            return ScriptValue::Int(static_cast<std::int32_t>(number));
        }
        const auto number = json.get<std::int64_t>();
        if (number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max())
            return {};
        return ScriptValue::Int(static_cast<std::int32_t>(number));
    }
    if (json.is_number_float()) {
        const double number = std::trunc(json.get<double>());
        if (!std::isfinite(number) || number < std::numeric_limits<std::int32_t>::min() ||
            number > std::numeric_limits<std::int32_t>::max())
            return {};
        return ScriptValue::Int(static_cast<std::int32_t>(number));
    }
    if (json.is_string())
        return ScriptValue::String(platform::Utf8ToUtf16(json.get_ref<const std::string&>()));
    if (json.is_array()) {
        std::vector<ScriptValue> elements;
        elements.reserve(json.size());
        for (const auto& element : json)
            elements.push_back(FromJson(element));
        return ScriptValue::Array(std::move(elements));
    }
    if (json.is_object() && json.size() == 1 && json.contains("error") && json["error"].is_string())
        return ScriptValue::ErrorString(platform::Utf8ToUtf16(json["error"].get_ref<const std::string&>()));
    return {};
}

std::optional<nlohmann::json> ParseMessage(std::string_view text)
{
    const Shape shape = ShapeOf(text);
    if (shape.depth > kMaxMessageDepth || shape.elements > kMaxMessageElements)
        return std::nullopt;
    nlohmann::json json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    return json;
}

std::string Serialize(const nlohmann::json& json)
{
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace lockora::engine::web
