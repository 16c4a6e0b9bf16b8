// Form descriptions (data starting with "TPF0"): the binary component stream some class libraries
// store their windows in, turned into its text form, one object per block:
//
//   object Form1: TForm1
//     Caption = 'Hello'
//     object Button1: TButton
//       Left = 8
//     end
//   end
//
// Every value type of the stream is decoded: integers, floating-point numbers (the 10-byte
// extended type included), texts in their three encodings, identifiers, booleans, sets, lists,
// collections and binary data. Nesting is limited, and data that ends early or holds a type this
// reader does not know ends the text there with a line saying so: what was read is still shown.
#pragma once

#include "resources/byte_reader.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane::resources {

// nullopt when the data does not begin with "TPF0".
std::optional<std::vector<std::string>> FormTextLines(TBytes data);

} // namespace corvane::resources
