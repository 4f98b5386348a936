#pragma once
// What each fuzzer does with one input. The fuzz executables call these, and the test suite runs
// every kept finding through them again.
#include <cstddef>
#include <cstdint>
#include <span>

namespace fuzzing {

// Parses a container, decodes every stored picture it lists and checks that writing the chunks
// back and parsing again gives the same chunks.
void icnsCodec(std::span<const uint8_t> data);
// Loads the bytes as a base image in any format and draws it at a few sizes.
void imageLoader(std::span<const uint8_t> data);
// Parses the bytes as a colour text; the components must come out in [0, 1].
void colorParser(std::span<const uint8_t> data);
// Splits the bytes at NUL into an argument list and parses it.
void optionParser(std::span<const uint8_t> data);

}  // namespace fuzzing
