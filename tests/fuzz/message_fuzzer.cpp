// The decoding of the page's WebSocket messages: a message that parses is
// taken apart into script values and turned back into JSON text, as a call
// and its answer are, without throwing.
#include "engine/web/wire.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace lockora::engine::web;
    const auto message = ParseMessage(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!message)
        return 0;
    for (const auto& [name, value] : message->items())
        (void)Serialize(ToJson(FromJson(value)));
    return 0;
}
