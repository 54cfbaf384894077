# Writes a C++ source that holds the bytes of INPUT as the function
# lockora::engine::web::${FUNCTION}(): cmake -DINPUT=... -DOUTPUT=... -DFUNCTION=... -P embed_text.cmake
file(READ ${INPUT} content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
file(WRITE ${OUTPUT}.tmp
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <string_view>\n\n"
  "namespace lockora::engine::web {\n"
  "namespace {\n"
  "constexpr char kBytes[] = {${bytes}};\n"
  "}\n"
  "std::string_view ${FUNCTION}()\n{\n    return {kBytes, sizeof kBytes};\n}\n"
  "} // namespace lockora::engine::web\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
