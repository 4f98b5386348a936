# Writes OUTPUT: a C++ file defining the bytes of INPUT as platform::kEmbeddedFont.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" body "${body}")
file(WRITE "${OUTPUT}" "#include \"platform/graphics/embedded_font.h\"\nnamespace platform {\nalignas(16) const unsigned char kEmbeddedFont[] = {\n${body}\n};\nconst size_t kEmbeddedFontSize = ${size};\n}  // namespace platform\n")
