#include "Png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFFu;
constexpr std::size_t kInflateStep = std::size_t{64} << 10;

constexpr std::uint32_t Tag(const char (&name)[5])
{
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
           std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

std::uint32_t ReadBigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t ReadBigEndian16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] << 8 | p[1]);
}

bool IsLetter(std::uint8_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

struct TChunk {
    std::uint32_t Type = 0;
    std::span<const std::uint8_t> Data;

    // Chunks whose name starts with an upper-case letter must be understood to show the picture.
    bool Critical() const { return (Type & 0x20000000u) == 0; }
};

// Walks the chunks of a file, checking each one's length and checksum before handing it out.
class TChunkReader {
public:
    explicit TChunkReader(std::span<const std::uint8_t> file) : file_(file)
    {
        if (file.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), file.begin()))
            throw TPngError("not a PNG file (signature missing)");
        pos_ = kSignature.size();
    }

    TChunk Next()
    {
        const std::size_t left = file_.size() - pos_;
        if (left < 12)
            throw TPngError("file is cut short");
        const std::uint8_t* start = file_.data() + pos_;
        const std::uint32_t length = ReadBigEndian32(start);
        if (length > kMaxChunkLength)
            throw TPngError("chunk length out of range");
        if (left - 12 < length)
            throw TPngError("file is cut short");
        const std::uint8_t* type = start + 4;
        if (!std::all_of(type, type + 4, IsLetter))
            throw TPngError("chunk name is not four letters");
        const std::uint8_t* data = type + 4;
        uLong crc = crc32(0L, type, 4);
        crc = crc32(crc, data, length);
        if (crc != ReadBigEndian32(data + length))
            throw TPngError("chunk checksum does not match");
        pos_ += 12 + std::size_t{length};
        return TChunk{ReadBigEndian32(type), {data, length}};
    }

private:
    std::span<const std::uint8_t> file_;
    std::size_t pos_ = 0;
};

enum TColourType : std::uint8_t { ctGrey = 0, ctRgb = 2, ctPalette = 3, ctGreyAlpha = 4, ctRgbAlpha = 6 };

struct THeader {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint8_t Depth = 0;
    TColourType Colour = ctGrey;
    bool Interlaced = false;

    unsigned Channels() const
    {
        switch (Colour) {
        case ctRgb: return 3;
        case ctGreyAlpha: return 2;
        case ctRgbAlpha: return 4;
        default: return 1;
        }
    }
    unsigned BitsPerPixel() const { return Channels() * Depth; }
    // The distance between a byte and the same byte of the pixel to its left, for the filters.
    unsigned FilterStride() const { return std::max(1u, BitsPerPixel() / 8); }
    std::uint64_t RowBytes(std::uint32_t width) const { return (std::uint64_t{width} * BitsPerPixel() + 7) / 8; }
};

bool DepthAllowed(std::uint8_t colour, std::uint8_t depth)
{
    switch (colour) {
    case ctGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case ctPalette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case ctRgb:
    case ctGreyAlpha:
    case ctRgbAlpha: return depth == 8 || depth == 16;
    default: throw TPngError("unknown colour type " + std::to_string(colour));
    }
}

THeader ParseHeader(std::span<const std::uint8_t> data)
{
    if (data.size() != 13)
        throw TPngError("IHDR has the wrong length");
    THeader h;
    h.Width = ReadBigEndian32(&data[0]);
    h.Height = ReadBigEndian32(&data[4]);
    if (h.Width == 0 || h.Height == 0 || h.Width > kMaxChunkLength || h.Height > kMaxChunkLength)
        throw TPngError("picture size out of range");
    h.Depth = data[8];
    if (!DepthAllowed(data[9], h.Depth))
        throw TPngError("bit depth " + std::to_string(h.Depth) + " not allowed for colour type " +
                        std::to_string(data[9]));
    h.Colour = TColourType(data[9]);
    if (data[10] != 0)
        throw TPngError("unknown compression method");
    if (data[11] != 0)
        throw TPngError("unknown filter method");
    if (data[12] > 1)
        throw TPngError("unknown interlace method");
    h.Interlaced = data[12] == 1;
    return h;
}

// One sub-image: the whole picture, or one of the seven Adam7 passes.
struct TPass {
    std::uint32_t X0, Y0, StepX, StepY;
    std::uint32_t Width = 0, Height = 0;
    bool Empty() const { return Width == 0 || Height == 0; }
};

std::vector<TPass> PassesOf(const THeader& h)
{
    if (!h.Interlaced)
        return {TPass{0, 0, 1, 1, h.Width, h.Height}};
    static constexpr std::array<std::array<std::uint32_t, 4>, 7> kAdam7 = {{
        {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2},
    }};
    std::vector<TPass> passes;
    for (const auto& [x0, y0, sx, sy] : kAdam7) {
        TPass p{x0, y0, sx, sy};
        p.Width = h.Width > x0 ? (h.Width - x0 + sx - 1) / sx : 0;
        p.Height = h.Height > y0 ? (h.Height - y0 + sy - 1) / sy : 0;
        passes.push_back(p);
    }
    return passes;
}

// The exact length of the decompressed data: each row of each non-empty pass has a filter byte.
std::uint64_t RawLength(const THeader& h, const std::vector<TPass>& passes)
{
    std::uint64_t total = 0;
    for (const auto& p : passes)
        if (!p.Empty())
            total += std::uint64_t{p.Height} * (1 + h.RowBytes(p.Width));
    return total;
}

// Inflates the concatenated IDAT data into a buffer that never grows past the expected length
// plus one byte, so a stream that says more than the picture holds is caught, not stored.
class TInflater {
public:
    explicit TInflater(std::size_t expected) : expected_(expected)
    {
        if (inflateInit(&stream_) != Z_OK)
            throw TPngError("cannot start decompression");
    }
    ~TInflater() { inflateEnd(&stream_); }
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    void Feed(std::span<const std::uint8_t> input)
    {
        if (ended_) {
            if (!input.empty())
                throw TPngError("compressed data goes on after its end");
            return;
        }
        stream_.next_in = const_cast<Bytef*>(input.data());
        stream_.avail_in = static_cast<uInt>(input.size());
        while (stream_.avail_in > 0 && !ended_)
            Step();
        if (ended_ && stream_.avail_in > 0)
            throw TPngError("compressed data goes on after its end");
    }

    std::vector<std::uint8_t> Finish()
    {
        if (!ended_)
            throw TPngError("compressed data is cut short");
        if (produced_ != expected_)
            throw TPngError("image data is shorter than the picture");
        out_.resize(produced_);
        return std::move(out_);
    }

private:
    void Step()
    {
        if (out_.size() == produced_)
            out_.resize(produced_ + std::min(kInflateStep, expected_ + 1 - produced_));
        stream_.next_out = out_.data() + produced_;
        stream_.avail_out = static_cast<uInt>(out_.size() - produced_);
        const uInt inBefore = stream_.avail_in;
        const uInt outBefore = stream_.avail_out;
        const int result = inflate(&stream_, Z_NO_FLUSH);
        produced_ += outBefore - stream_.avail_out;
        if (produced_ > expected_)
            throw TPngError("image data is longer than the picture");
        if (result == Z_STREAM_END) {
            ended_ = true;
            return;
        }
        if (result != Z_OK && result != Z_BUF_ERROR)
            throw TPngError(std::string("bad compressed data") + (stream_.msg ? std::string(": ") + stream_.msg : ""));
        if (stream_.avail_in == inBefore && stream_.avail_out == outBefore)
            throw TPngError("compressed data makes no progress");
    }

    z_stream stream_{};
    std::size_t expected_;
    std::size_t produced_ = 0;
    bool ended_ = false;
    std::vector<std::uint8_t> out_;
};

std::uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

// Undoes the row filters of one pass in place. Each row is a filter byte followed by rowBytes.
void Unfilter(std::uint8_t* rows, std::uint32_t height, std::size_t rowBytes, unsigned stride)
{
    const std::uint8_t* prior = nullptr;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t filter = rows[0];
        std::uint8_t* row = rows + 1;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= stride ? row[i - stride] : 0;
            const int up = prior ? prior[i] : 0;
            const int upLeft = prior && i >= stride ? prior[i - stride] : 0;
            switch (filter) {
            case 0: break;
            case 1: row[i] = std::uint8_t(row[i] + left); break;
            case 2: row[i] = std::uint8_t(row[i] + up); break;
            case 3: row[i] = std::uint8_t(row[i] + (left + up) / 2); break;
            case 4: row[i] = std::uint8_t(row[i] + Paeth(left, up, upLeft)); break;
            default: throw TPngError("unknown row filter " + std::to_string(filter));
            }
        }
        prior = row;
        rows += 1 + rowBytes;
    }
}

// Everything besides the pixel data that decides a pixel's colour.
struct TColourInfo {
    std::vector<std::array<std::uint8_t, 4>> Palette;
    bool HasKey = false;        // a tRNS colour that stands for "fully transparent"
    std::array<std::uint16_t, 3> Key{};
};

unsigned Sample(const std::uint8_t* row, std::size_t index, unsigned depth)
{
    if (depth == 8)
        return row[index];
    if (depth == 16)
        return ReadBigEndian16(row + 2 * index);
    const std::size_t bit = index * depth;
    const unsigned shift = 8 - depth - unsigned(bit & 7);
    return (row[bit >> 3] >> shift) & ((1u << depth) - 1);
}

std::uint8_t To8Bits(unsigned value, unsigned depth)
{
    if (depth == 16)
        return std::uint8_t((value + 128) / 257);
    if (depth == 8)
        return std::uint8_t(value);
    return std::uint8_t(value * 255 / ((1u << depth) - 1));
}

void ExpandRow(const THeader& h, const TColourInfo& info, const std::uint8_t* row, std::uint32_t width,
               std::uint8_t* out, std::size_t outStride)
{
    const unsigned d = h.Depth;
    for (std::uint32_t x = 0; x < width; ++x, out += outStride) {
        switch (h.Colour) {
        case ctGrey: {
            const unsigned g = Sample(row, x, d);
            out[0] = out[1] = out[2] = To8Bits(g, d);
            out[3] = info.HasKey && g == info.Key[0] ? 0 : 255;
            break;
        }
        case ctRgb: {
            const unsigned r = Sample(row, 3 * std::size_t{x}, d);
            const unsigned g = Sample(row, 3 * std::size_t{x} + 1, d);
            const unsigned b = Sample(row, 3 * std::size_t{x} + 2, d);
            out[0] = To8Bits(r, d);
            out[1] = To8Bits(g, d);
            out[2] = To8Bits(b, d);
            out[3] = info.HasKey && r == info.Key[0] && g == info.Key[1] && b == info.Key[2] ? 0 : 255;
            break;
        }
        case ctPalette: {
            const unsigned i = Sample(row, x, d);
            if (i >= info.Palette.size())
                throw TPngError("palette index out of range");
            std::copy(info.Palette[i].begin(), info.Palette[i].end(), out);
            break;
        }
        case ctGreyAlpha: {
            out[0] = out[1] = out[2] = To8Bits(Sample(row, 2 * std::size_t{x}, d), d);
            out[3] = To8Bits(Sample(row, 2 * std::size_t{x} + 1, d), d);
            break;
        }
        case ctRgbAlpha:
            for (unsigned c = 0; c < 4; ++c)
                out[c] = To8Bits(Sample(row, 4 * std::size_t{x} + c, d), d);
            break;
        }
    }
}

std::vector<std::uint8_t> ToRgba(const THeader& h, const TColourInfo& info, const std::vector<TPass>& passes,
                                 std::vector<std::uint8_t>& raw)
{
    std::vector<std::uint8_t> rgba(std::size_t{h.Width} * h.Height * 4);
    std::uint8_t* rows = raw.data();
    for (const auto& p : passes) {
        if (p.Empty())
            continue;
        const std::size_t rowBytes = static_cast<std::size_t>(h.RowBytes(p.Width));
        Unfilter(rows, p.Height, rowBytes, h.FilterStride());
        for (std::uint32_t y = 0; y < p.Height; ++y) {
            const std::size_t outY = p.Y0 + std::size_t{y} * p.StepY;
            std::uint8_t* out = rgba.data() + (outY * h.Width + p.X0) * 4;
            ExpandRow(h, info, rows + 1, p.Width, out, std::size_t{p.StepX} * 4);
            rows += 1 + rowBytes;
        }
    }
    return rgba;
}

void ParsePalette(const THeader& h, std::span<const std::uint8_t> data, TColourInfo& info)
{
    if (h.Colour == ctGrey || h.Colour == ctGreyAlpha)
        throw TPngError("palette in a grey picture");
    if (data.empty() || data.size() % 3 != 0 || data.size() > 256 * 3)
        throw TPngError("palette has the wrong length");
    const std::size_t entries = data.size() / 3;
    if (h.Colour == ctPalette && entries > (std::size_t{1} << h.Depth))
        throw TPngError("palette has more entries than the bit depth can index");
    for (std::size_t i = 0; i < entries; ++i)
        info.Palette.push_back({data[3 * i], data[3 * i + 1], data[3 * i + 2], 255});
}

void ParseTransparency(const THeader& h, std::span<const std::uint8_t> data, TColourInfo& info)
{
    switch (h.Colour) {
    case ctPalette:
        if (info.Palette.empty())
            throw TPngError("transparency before the palette");
        if (data.size() > info.Palette.size())
            throw TPngError("transparency has more entries than the palette");
        for (std::size_t i = 0; i < data.size(); ++i)
            info.Palette[i][3] = data[i];
        break;
    case ctGrey:
        if (data.size() != 2)
            throw TPngError("transparency has the wrong length");
        info.HasKey = true;
        info.Key[0] = ReadBigEndian16(&data[0]);
        break;
    case ctRgb:
        if (data.size() != 6)
            throw TPngError("transparency has the wrong length");
        info.HasKey = true;
        for (std::size_t c = 0; c < 3; ++c)
            info.Key[c] = ReadBigEndian16(&data[2 * c]);
        break;
    default: throw TPngError("transparency chunk in a picture with an alpha channel");
    }
}

// Refuses a picture too large for the limits; returns the exact decompressed length.
std::size_t CheckSize(const THeader& h, const std::vector<TPass>& passes, const TPngLimits& limits)
{
    // Width and height are below 2^31, so neither product can overflow 64 bits.
    const std::uint64_t rgbaBytes = std::uint64_t{h.Width} * h.Height * 4;
    if (rgbaBytes > limits.MaxImageBytes)
        throw TPngError("picture of " + std::to_string(h.Width) + " by " + std::to_string(h.Height) +
                        " pixels is too large");
    const std::uint64_t raw = RawLength(h, passes);
    if (raw > limits.MaxImageBytes)
        throw TPngError("picture data is too large");
    return static_cast<std::size_t>(raw);
}

} // namespace

TPngImage DecodePng(std::span<const std::uint8_t> file, const TPngLimits& limits)
{
    TChunkReader reader(file);
    const TChunk first = reader.Next();
    if (first.Type != Tag("IHDR"))
        throw TPngError("the first chunk is not IHDR");
    const THeader header = ParseHeader(first.Data);
    const std::vector<TPass> passes = PassesOf(header);
    TInflater inflater(CheckSize(header, passes, limits));

    TColourInfo info;
    bool seenPalette = false, seenTransparency = false;
    enum { idatNotYet, idatInside, idatAfter } idat = idatNotYet;
    for (;;) {
        const TChunk chunk = reader.Next();
        if (chunk.Type == Tag("IDAT")) {
            if (idat == idatAfter)
                throw TPngError("image data is split by other chunks");
            if (header.Colour == ctPalette && !seenPalette)
                throw TPngError("palette missing");
            idat = idatInside;
            inflater.Feed(chunk.Data);
            continue;
        }
        if (idat == idatInside)
            idat = idatAfter;
        if (chunk.Type == Tag("IEND")) {
            if (idat == idatNotYet)
                throw TPngError("image data missing");
            if (!chunk.Data.empty())
                throw TPngError("IEND is not empty");
            break;
        }
        if (chunk.Type == Tag("IHDR"))
            throw TPngError("second IHDR");
        if (chunk.Type == Tag("PLTE")) {
            if (seenPalette || idat != idatNotYet || seenTransparency)
                throw TPngError("palette out of place");
            ParsePalette(header, chunk.Data, info);
            seenPalette = true;
        } else if (chunk.Type == Tag("tRNS")) {
            if (seenTransparency || idat != idatNotYet)
                throw TPngError("transparency out of place");
            ParseTransparency(header, chunk.Data, info);
            seenTransparency = true;
        } else if (chunk.Critical()) {
            throw TPngError("unknown critical chunk");
        }
    }

    std::vector<std::uint8_t> raw = inflater.Finish();
    TPngImage image;
    image.Width = header.Width;
    image.Height = header.Height;
    image.Rgba = ToRgba(header, info, passes, raw);
    return image;
}
