// Builds small movies byte by byte for tests: a header, a background tag, frames and an
// End tag, optionally compressed. Tests then damage them on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MovieSpec {
    bool compressed = false;
    uint8_t version = 6;
    uint8_t red = 0x20, green = 0x40, blue = 0x80;
    bool background = true;
    double frameRate = 12;
    uint16_t frameCount = 3;
    int32_t widthTwips = 550 * 20, heightTwips = 400 * 20;
};

std::vector<uint8_t> MovieBytes(const MovieSpec& spec);
// Compresses `uncompressed` (a whole "FWS" file) into a "CWS" file, keeping its length
// field as it is.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& uncompressed);
void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value);
