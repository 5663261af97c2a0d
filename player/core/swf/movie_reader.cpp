#include "player/core/swf/movie_reader.h"

#include "player/core/swf/lzma.h"
#include "player/core/swf/reserve.h"

#include <zlib.h>

#include <algorithm>

namespace swf {

const char* StatusText(ReadStatus status) {
    switch (status) {
    case ReadStatus::Ok:
        return "ok";
    case ReadStatus::TooShort:
        return "shorter than a movie header";
    case ReadStatus::BadSignature:
        return "not a Flash movie (or an unsupported compression)";
    case ReadStatus::BadVersion:
        return "version 0";
    case ReadStatus::TooLarge:
        return "larger than the player accepts";
    case ReadStatus::LengthMismatch:
        return "declared length differs from the file";
    case ReadStatus::BadCompression:
        return "damaged compressed data";
    case ReadStatus::BadHeader:
        return "damaged stage rectangle, rate or frame count";
    case ReadStatus::BadTag:
        return "a tag runs past the end of the movie";
    case ReadStatus::OutOfMemory:
        return "out of memory";
    }
    return "unknown";
}

uint8_t ByteReader::U8() {
    const uint8_t* p = Take(1);
    return p != nullptr ? p[0] : 0;
}

uint16_t ByteReader::U16() {
    const uint8_t* p = Take(2);
    return p != nullptr ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint32_t ByteReader::U32() {
    const uint8_t* p = Take(4);
    if (p == nullptr) {
        return 0;
    }
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

const uint8_t* ByteReader::Take(size_t count) {
    if (!ok_ || count > size_ - pos_) {
        ok_ = false;
        pos_ = size_;
        return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
}

std::string ByteReader::String() {
    const uint8_t* start = data_ + pos_;
    for (size_t i = pos_; i < size_; ++i) {
        if (data_[i] == 0) {
            pos_ = i + 1;
            return std::string(reinterpret_cast<const char*>(start), i - (start - data_));
        }
    }
    ok_ = false;
    pos_ = size_;
    return std::string();
}

uint32_t BitReader::UB(unsigned bits) {
    if (bits > 32 || !ok_ || bits > static_cast<uint64_t>(size_) * 8 - bitPos_) {
        ok_ = false;
        return 0;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < bits; ++i) {
        const uint8_t byte = data_[bitPos_ >> 3];
        const unsigned bit = (byte >> (7 - (bitPos_ & 7))) & 1;
        value = (value << 1) | bit;
        ++bitPos_;
    }
    return value;
}

int32_t BitReader::SB(unsigned bits) {
    const uint32_t value = UB(bits);
    if (bits == 0 || bits >= 32) {
        return static_cast<int32_t>(value);
    }
    const uint32_t sign = 1u << (bits - 1);
    return static_cast<int32_t>((value ^ sign) - sign);
}

void BitReader::Align() {
    bitPos_ = (bitPos_ + 7) & ~static_cast<size_t>(7);
}

bool ReadRect(BitReader* bits, Rect* rect) {
    const unsigned n = bits->UB(5);
    rect->xMin = bits->SB(n);
    rect->xMax = bits->SB(n);
    rect->yMin = bits->SB(n);
    rect->yMax = bits->SB(n);
    bits->Align();
    return bits->Ok();
}

bool ReadMatrix(BitReader* bits, Matrix* matrix) {
    *matrix = Matrix();
    if (bits->UB(1) != 0) {
        const unsigned n = bits->UB(5);
        matrix->scaleX = bits->FB(n);
        matrix->scaleY = bits->FB(n);
    }
    if (bits->UB(1) != 0) {
        const unsigned n = bits->UB(5);
        matrix->rotateSkew0 = bits->FB(n);
        matrix->rotateSkew1 = bits->FB(n);
    }
    const unsigned n = bits->UB(5);
    matrix->translateX = bits->SB(n);
    matrix->translateY = bits->SB(n);
    bits->Align();
    return bits->Ok();
}

bool TagIterator::Next(Tag* tag) {
    if (failed_ || reader_.Remaining() == 0) {
        return false;
    }
    const uint16_t codeAndLength = reader_.U16();
    uint32_t length = codeAndLength & 0x3F;
    if (length == 0x3F) {
        length = reader_.U32();
    }
    const uint8_t* body = reader_.Take(length);
    if (!reader_.Ok()) {
        failed_ = true;
        return false;
    }
    tag->code = static_cast<uint16_t>(codeAndLength >> 6);
    tag->body = body;
    tag->length = length;
    return true;
}

TagIterator Movie::Tags() const {
    if (body_.empty()) {
        return TagIterator(nullptr, 0);
    }
    return TagIterator(body_.data() + tagsOffset_, body_.size() - tagsOffset_);
}

namespace {

const size_t kPrefixBytes = 8; // signature, version, declared length

// Inflates the stream into `out`, at most `limit` bytes. Like Flash Player, a stream that
// ends early or turns damaged gives what came before; the declared length is only a hint
// for the first allocation, so a header that lies about a huge size costs nothing.
ReadStatus Inflate(const uint8_t* in, size_t inSize, uint32_t hint, uint32_t limit,
                   std::vector<uint8_t>* out, bool* cut) {
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) {
        return ReadStatus::BadCompression;
    }
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(std::min<size_t>(inSize, 0xFFFFFFFFu));
    const size_t most = size_t(limit) + 1; // one byte more tells a movie over the limit
    const size_t first = std::min<size_t>(
        {most, std::max<size_t>(hint, 64), std::max<size_t>(64 * 1024, inSize * 4)});
    if (!memory::Obtainable(first)) {
        inflateEnd(&stream);
        return ReadStatus::OutOfMemory;
    }
    out->resize(first);
    size_t produced = 0;
    int result = Z_OK;
    for (;;) {
        if (produced == out->size()) {
            if (out->size() == most) {
                break;
            }
            // Asked while the old buffer is held, as the growth holds both.
            const size_t grown = std::min<size_t>(most, out->size() * 2);
            if (!memory::Obtainable(grown)) {
                inflateEnd(&stream);
                out->clear();
                return ReadStatus::OutOfMemory;
            }
            out->resize(grown);
        }
        stream.next_out = out->data() + produced;
        stream.avail_out = static_cast<uInt>(out->size() - produced);
        result = inflate(&stream, Z_NO_FLUSH);
        produced = out->size() - stream.avail_out;
        if (result != Z_OK) {
            break;
        }
    }
    inflateEnd(&stream);
    out->resize(produced);
    *cut = result != Z_STREAM_END;
    if (produced > limit) {
        out->clear();
        return ReadStatus::TooLarge;
    }
    if (produced == 0) {
        return ReadStatus::BadCompression;
    }
    return ReadStatus::Ok;
}

// An LZMA movie ("ZWS"): after the prefix, the compressed length (not needed: the data
// runs to the end of the file), five property bytes, then the data. The declared length
// is the decoder's stopping point, as it is Flash Player's; damage keeps what came before.
const size_t kLzmaPrefixBytes = kPrefixBytes + 4 + 5;

ReadStatus Unlzma(const uint8_t* file, size_t size, uint32_t hint, uint32_t limit,
                  std::vector<uint8_t>* out, bool* cut) {
    if (size < kLzmaPrefixBytes) {
        return ReadStatus::BadCompression;
    }
    const size_t most = hint ? std::min<size_t>(hint, size_t(limit) + 1) : size_t(limit) + 1;
    out->reserve(std::min<size_t>(most, std::max<size_t>(64 * 1024, size * 8)));
    const LzmaEnd end =
        DecodeLzma(file + 12, file + kLzmaPrefixBytes, size - kLzmaPrefixBytes, most, out);
    *cut = end == LzmaEnd::Cut;
    if (end == LzmaEnd::BadProperties || out->empty()) {
        out->clear();
        return ReadStatus::BadCompression;
    }
    if (out->size() > limit) {
        out->clear();
        return ReadStatus::TooLarge;
    }
    return ReadStatus::Ok;
}

} // namespace

ReadStatus ReadMovie(const uint8_t* file, size_t size, Movie* movie, uint32_t maxBytes) {
    *movie = Movie();
    if (file == nullptr || size < kPrefixBytes) {
        return ReadStatus::TooShort;
    }
    MovieHeader header;
    if (file[1] != 'W' || file[2] != 'S' || (file[0] != 'F' && file[0] != 'C' && file[0] != 'Z')) {
        return ReadStatus::BadSignature;
    }
    header.compressed = file[0] != 'F';
    header.lzma = file[0] == 'Z';
    header.version = file[3];
    if (header.version == 0) {
        return ReadStatus::BadVersion;
    }
    ByteReader prefix(file + 4, 4);
    header.declaredLength = prefix.U32();
    // The limit holds for what the file really holds; a declared length that differs from
    // it is no reason to refuse, as Flash Player plays what is there.
    if (maxBytes < kPrefixBytes) {
        return ReadStatus::TooLarge;
    }
    const uint32_t limit = maxBytes - kPrefixBytes;
    const uint32_t hint =
        header.declaredLength > kPrefixBytes ? header.declaredLength - kPrefixBytes : 0;
    bool cut = false;
    std::vector<uint8_t> body;
    if (header.compressed) {
        const ReadStatus status = header.lzma ? Unlzma(file, size, hint, limit, &body, &cut)
                                              : Inflate(file + kPrefixBytes, size - kPrefixBytes,
                                                        hint, limit, &body, &cut);
        if (status != ReadStatus::Ok) {
            return status;
        }
    } else {
        if (size - kPrefixBytes > limit) {
            return ReadStatus::TooLarge;
        }
        body.assign(file + kPrefixBytes, file + size);
    }

    BitReader bits(body.data(), body.size());
    if (!ReadRect(&bits, &header.stage)) {
        return ReadStatus::BadHeader;
    }
    // An upside-down stage is an empty one: Flash Player runs such a movie's scripts.
    header.stage.xMax = std::max(header.stage.xMax, header.stage.xMin);
    header.stage.yMax = std::max(header.stage.yMax, header.stage.yMin);
    ByteReader rest(body.data() + bits.BytesConsumed(), body.size() - bits.BytesConsumed());
    header.frameRate = rest.U16();
    header.frameCount = rest.U16();
    if (!rest.Ok()) {
        return ReadStatus::BadHeader;
    }
    const size_t tagsOffset = bits.BytesConsumed() + rest.Position();

    // Walk the main timeline once, taking the few facts the player uses now on the way.
    // Bytes after the End tag are padding and ignored; a tag cut off by the end of the file
    // ends the movie before it, so a truncated movie plays its whole frames.
    Movie read;
    TagIterator tags(body.data() + tagsOffset, body.size() - tagsOffset);
    Tag tag;
    size_t whole = 0; // bytes of whole tags
    while (tags.Next(&tag)) {
        whole = tags.Position();
        if (tag.code == kTagEnd) {
            read.hasEndTag_ = true;
            break;
        }
        if (tag.code == kTagShowFrame) {
            ++read.shownFrames_;
        } else if (tag.code == kTagSetBackgroundColor && !read.hasBackground_ && tag.length >= 3) {
            read.hasBackground_ = true;
            read.background_.red = tag.body[0];
            read.background_.green = tag.body[1];
            read.background_.blue = tag.body[2];
        }
    }
    read.truncated_ = (cut || tags.Failed()) && !read.hasEndTag_;
    read.header_ = header;
    read.tagsOffset_ = tagsOffset;
    if (tags.Failed()) {
        body.resize(tagsOffset + whole);
    }
    read.body_.swap(body);
    *movie = std::move(read);
    return ReadStatus::Ok;
}

} // namespace swf
