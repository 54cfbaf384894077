// Logging for page script: a text into the diagnostic log, and the log
// folder opened in the shell.
#pragma once

#include "bridge/script_value.h"

namespace lockora::logging {

// Script function: writes the argument's text (UTF-8) into the diagnostic
// log as a debug line (written only at log level 2). Returns 0.
bridge::ScriptValue WriteHtmlLog(const bridge::ScriptValue& text);

// Script function: opens the current directory + "\Log" in the shell.
// Returns 0 when the shell took the request, otherwise its result code (32
// or less); 3 when the current directory cannot be read. The folder comes
// from the current directory, not from the program folder.
bridge::ScriptValue OpenLogFilePath(const bridge::ScriptValue& unused);

} // namespace lockora::logging
