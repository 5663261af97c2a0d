// The engine's one UTF-8 codec. Text inside the engine is UTF-8; a byte that does not start
// a well-formed sequence (a stray continuation byte, an overlong form, a surrogate, a
// truncated sequence, anything above U+10FFFF) is read as the Latin-1 character of that
// byte alone, so every byte string decodes and nothing is lost silently. A surrogate pair
// written as two three-byte sequences reads as the one character it encodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace swf {

// The code point starting at s[i]; i moves past it (one byte for a bad byte).
uint32_t Utf8Next(const std::string& s, size_t& i);
// Appends cp as UTF-8; surrogates and values above U+10FFFF become U+FFFD, unless
// `keepSurrogates` (ActionScript 3 strings hold lone UTF-16 halves, which may pair later).
void Utf8Append(std::string& out, uint32_t cp, bool keepSurrogates = false);
std::string Utf8Encode(uint32_t cp);
// How many code points Utf8Next reads from s.
size_t Utf8Length(const std::string& s);
// The byte offset of code point `index` (s.size() when index >= the length).
size_t Utf8Offset(const std::string& s, size_t index, size_t from = 0);
// At most `limit` code points of s.
// Orders two strings by their code points (bad bytes as the Latin-1 characters they read as).
int Utf8Compare(const std::string& a, const std::string& b);
std::vector<uint32_t> Utf8Decode(const std::string& s, size_t limit = SIZE_MAX);
std::string Utf8FromCodes(const std::vector<uint32_t>& codes);
// Text of a SWF 5 or older movie: bytes in the Windows western code page (1252), the code
// page Flash Player reads them in on the systems this project targets.
std::string Utf8FromCp1252(const std::string& bytes);

} // namespace swf
