# Writes INPUT as a byte array to CPP and a declaration to HDR (run in script mode).
file(READ ${INPUT} content HEX)
string(LENGTH "${content}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
file(WRITE ${HDR} "#pragma once\n#include <string_view>\nnamespace qubra::resources { extern const std::string_view ${SYMBOL}; }\n")
file(WRITE ${CPP} "#include \"resources/${SYMBOL}.h\"\nnamespace qubra::resources {\nnamespace { const char data[] = {${bytes} 0}; }\nconst std::string_view ${SYMBOL}(data, ${size});\n}\n")
