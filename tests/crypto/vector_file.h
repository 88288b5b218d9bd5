// Known-answer vectors kept in text files under tests/crypto/vectors.
//
// A file holds records separated by blank lines. A record is `name: value`
// lines; a value that ends in a backslash goes on in the next line, and a line
// starting with '#' is a comment.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace otpcli::test {

using VectorRecord = std::map<std::string, std::string>;

// The records of a file in the vectors folder; throws when it cannot be read.
std::vector<VectorRecord> readVectorFile(const std::string& name);

// The field of a record; throws when the record lacks it.
const std::string& field(const VectorRecord& record, const std::string& name);

// Hex text as bytes, white space ignored; "-" is no bytes. Throws on bad text.
std::vector<unsigned char> hexBytes(std::string_view text);

// White-space separated hex words.
std::vector<std::uint32_t> hexWords(std::string_view text);

// Bytes as lower-case hex text.
std::string toHexText(const unsigned char* bytes, std::size_t size);

}  // namespace otpcli::test
