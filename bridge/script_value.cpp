#include "bridge/script_value.h"

#include <string>

namespace lockora::bridge {
namespace {

const ScriptValue& Undefined()
{
    static const ScriptValue undefined;
    return undefined;
}

const std::u16string& EmptyText()
{
    static const std::u16string empty;
    return empty;
}

} // namespace

ScriptValue ScriptValue::Bool(bool value)
{
    ScriptValue v;
    v.type_ = Type::Bool;
    v.int_ = value ? 1 : 0;
    return v;
}

ScriptValue ScriptValue::Int(std::int32_t value)
{
    ScriptValue v;
    v.type_ = Type::Int;
    v.int_ = value;
    return v;
}

ScriptValue ScriptValue::String(std::u16string text)
{
    ScriptValue v;
    v.type_ = Type::String;
    v.text_ = std::move(text);
    return v;
}

ScriptValue ScriptValue::ErrorString(std::u16string text)
{
    ScriptValue v = String(std::move(text));
    v.errorString_ = true;
    return v;
}

ScriptValue ScriptValue::Array(std::vector<ScriptValue> elements)
{
    ScriptValue v;
    v.type_ = Type::Array;
    v.elements_ = std::move(elements);
    return v;
}

const std::u16string& ScriptValue::GetString() const
{
    return type_ == Type::String ? text_ : EmptyText();
}

const ScriptValue& ScriptValue::At(std::size_t index) const
{
    return type_ == Type::Array && index < elements_.size() ? elements_[index] : Undefined();
}

void ScriptValue::Set(std::size_t index, ScriptValue element)
{
    if (type_ != Type::Array) {
        *this = Array();
    }
    if (index >= elements_.size())
        elements_.resize(index + 1);
    elements_[index] = std::move(element);
}

std::u16string ScriptValue::ToString() const
{
    switch (type_) {
    case Type::Undefined:
        return {};
    case Type::Bool:
        return int_ ? u"true" : u"false";
    case Type::Int: {
        const std::string digits = std::to_string(int_);
        return std::u16string(digits.begin(), digits.end());
    }
    case Type::String:
        return text_;
    case Type::Array: {
        std::u16string joined;
        for (std::size_t i = 0; i < elements_.size(); ++i) {
            if (i > 0)
                joined.push_back(u',');
            joined += elements_[i].ToString();
        }
        return joined;
    }
    }
    return {};
}

bool operator==(const ScriptValue& a, const ScriptValue& b)
{
    if (a.type_ != b.type_)
        return false;
    switch (a.type_) {
    case ScriptValue::Type::Undefined:
        return true;
    case ScriptValue::Type::Bool:
    case ScriptValue::Type::Int:
        return a.int_ == b.int_;
    case ScriptValue::Type::String:
        return a.errorString_ == b.errorString_ && a.text_ == b.text_;
    case ScriptValue::Type::Array:
        return a.elements_ == b.elements_;
    }
    return false;
}

} // namespace lockora::bridge
