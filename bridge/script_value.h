// Values exchanged with page script: undefined, bool, 32-bit int, UTF-16
// text (optionally marked as an error string) and arrays of values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lockora::bridge {

class ScriptValue {
public:
    enum class Type : std::uint8_t { Undefined, Bool, Int, String, Array };

    ScriptValue() = default; // undefined
    static ScriptValue Bool(bool value);
    static ScriptValue Int(std::int32_t value);
    static ScriptValue String(std::u16string text);
    // A string that reports a script error (the engine's error-string unit).
    static ScriptValue ErrorString(std::u16string text);
    static ScriptValue Array(std::vector<ScriptValue> elements = {});

    Type type() const { return type_; }
    bool IsUndefined() const { return type_ == Type::Undefined; }
    bool IsBool() const { return type_ == Type::Bool; }
    bool IsInt() const { return type_ == Type::Int; }
    bool IsString() const { return type_ == Type::String; }
    bool IsErrorString() const { return type_ == Type::String && errorString_; }
    bool IsArray() const { return type_ == Type::Array; }

    // The payload; a value of another type reads as false, 0 or "".
    bool GetBool() const { return type_ == Type::Bool && int_ != 0; }
    std::int32_t GetInt() const { return type_ == Type::Int || type_ == Type::Bool ? int_ : 0; }
    const std::u16string& GetString() const;

    // Elements of an array (0 for any other type).
    std::size_t Length() const { return type_ == Type::Array ? elements_.size() : 0; }
    // The element at `index`, or undefined past the end or for a non-array.
    const ScriptValue& At(std::size_t index) const;
    // Sets the element at `index`; turns the value into an array when it is
    // not one, and grows it with undefined elements as needed.
    void Set(std::size_t index, ScriptValue element);
    void Append(ScriptValue element) { Set(Length(), std::move(element)); }
    const std::vector<ScriptValue>& Elements() const { return elements_; }

    // The value's plain text: "" for undefined, "true"/"false", the decimal
    // number, the text itself, the elements' texts joined with ",".
    std::u16string ToString() const;

    friend bool operator==(const ScriptValue& a, const ScriptValue& b);

private:
    Type type_ = Type::Undefined;
    bool errorString_ = false;
    std::int32_t int_ = 0;
    std::u16string text_;
    std::vector<ScriptValue> elements_;
};

} // namespace lockora::bridge
