// The decoder against files written by two other encoders (ImageMagick and a zlib-based
// writer, see make_samples.py), and against damaged and hostile input.
#include "toolkit/Png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& name)
{
    std::ifstream in(std::string(VANTREL_PNG_DATA) + "/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + name);
    return Bytes{std::istreambuf_iterator<char>(in), {}};
}

struct TSample {
    std::string Png, Reference;
    std::uint32_t Width = 0, Height = 0;
};

std::vector<TSample> Samples()
{
    std::ifstream in(std::string(VANTREL_PNG_DATA) + "/samples.txt");
    std::vector<TSample> samples;
    TSample s;
    while (in >> s.Png >> s.Reference >> s.Width >> s.Height)
        samples.push_back(s);
    return samples;
}

std::string TestName(const testing::TestParamInfo<TSample>& info)
{
    std::string name = info.param.Png.substr(0, info.param.Png.size() - 4);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

bool Refused(const Bytes& file)
{
    try {
        DecodePng(file);
        return false;
    } catch (const TPngError&) {
        return true;
    }
}

std::string ErrorOf(const Bytes& file, const TPngLimits& limits = {})
{
    try {
        DecodePng(file, limits);
        return "(decoded)";
    } catch (const TPngError& e) {
        return e.what();
    }
}

// Offsets of the chunks of a well-formed file, each at its length field.
std::vector<std::size_t> ChunkOffsets(const Bytes& file)
{
    std::vector<std::size_t> offsets;
    for (std::size_t pos = 8; pos + 12 <= file.size();) {
        offsets.push_back(pos);
        const std::uint32_t length = std::uint32_t(file[pos]) << 24 | file[pos + 1] << 16 | file[pos + 2] << 8 |
                                     file[pos + 3];
        pos += 12 + length;
    }
    return offsets;
}

class SampleTest : public testing::TestWithParam<TSample> {};

TEST_P(SampleTest, DecodesToTheSourcePixels)
{
    const TSample& s = GetParam();
    const TPngImage image = DecodePng(ReadFile(s.Png));
    ASSERT_EQ(image.Width, s.Width);
    ASSERT_EQ(image.Height, s.Height);
    const Bytes reference = ReadFile(s.Reference);
    ASSERT_EQ(image.Rgba.size(), reference.size());
    for (std::size_t i = 0; i < reference.size(); i += 4) {
        const std::size_t pixel = i / 4;
        ASSERT_TRUE(std::equal(reference.begin() + i, reference.begin() + i + 4, image.Rgba.begin() + i))
            << "first difference at x " << pixel % s.Width << ", y " << pixel / s.Width;
    }
}

TEST_P(SampleTest, RefusesEveryDamagedCopy)
{
    const Bytes good = ReadFile(GetParam().Png);
    for (const std::size_t at : ChunkOffsets(good)) {
        const std::uint32_t length = std::uint32_t(good[at]) << 24 | good[at + 1] << 16 | good[at + 2] << 8 |
                                     good[at + 3];
        SCOPED_TRACE("chunk at " + std::to_string(at));
        Bytes badCrc = good;
        badCrc[at + 8 + length] ^= 0x01;
        EXPECT_TRUE(Refused(badCrc));
        if (length > 0) {
            Bytes badData = good;
            badData[at + 8 + length / 2] ^= 0x80;
            EXPECT_TRUE(Refused(badData));
        }
        for (const int change : {-1, +1, +0x1000000}) {
            Bytes badLength = good;
            const std::uint32_t wrong = length + change;
            badLength[at] = std::uint8_t(wrong >> 24);
            badLength[at + 1] = std::uint8_t(wrong >> 16);
            badLength[at + 2] = std::uint8_t(wrong >> 8);
            badLength[at + 3] = std::uint8_t(wrong);
            EXPECT_TRUE(Refused(badLength)) << "length changed by " << change;
        }
    }
}

TEST_P(SampleTest, RefusesEveryShortenedCopy)
{
    const Bytes good = ReadFile(GetParam().Png);
    for (std::size_t length = 0; length < good.size(); ++length)
        ASSERT_TRUE(Refused(Bytes(good.begin(), good.begin() + length))) << "cut at " << length;
}

INSTANTIATE_TEST_SUITE_P(Encoders, SampleTest, testing::ValuesIn(Samples()), TestName);

TEST(PngSamples, ListIsComplete)
{
    // A missing list would otherwise pass by testing nothing.
    EXPECT_GE(Samples().size(), 40u);
}

// ---- hand-built files with valid checksums, each wrong in one way ----

void PutBigEndian32(Bytes& out, std::uint32_t v)
{
    for (const int shift : {24, 16, 8, 0})
        out.push_back(std::uint8_t(v >> shift));
}

void AddChunk(Bytes& file, const char* type, const Bytes& data)
{
    PutBigEndian32(file, std::uint32_t(data.size()));
    const std::size_t start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    PutBigEndian32(file, std::uint32_t(crc32(0, file.data() + start, uInt(file.size() - start))));
}

Bytes Compress(const Bytes& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    if (compress(out.data(), &size, raw.data(), uLong(raw.size())) != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(size);
    return out;
}

Bytes Header(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colour,
             std::uint8_t interlace = 0, std::uint8_t compression = 0, std::uint8_t filter = 0)
{
    Bytes data;
    PutBigEndian32(data, width);
    PutBigEndian32(data, height);
    data.insert(data.end(), {depth, colour, compression, filter, interlace});
    return data;
}

struct TChunkSpec {
    const char* Type;
    Bytes Data;
};

Bytes BuildPng(const std::vector<TChunkSpec>& chunks)
{
    Bytes file = {137, 80, 78, 71, 13, 10, 26, 10};
    for (const auto& c : chunks)
        AddChunk(file, c.Type, c.Data);
    return file;
}

// A 2 by 2 grey picture, rows filtered with "none": its raw data is 2 * (1 + 2) bytes.
const Bytes kGreyRaw = {0, 10, 20, 0, 30, 40};

Bytes GreyPng(const Bytes& raw = kGreyRaw)
{
    return BuildPng({{"IHDR", Header(2, 2, 8, 0)}, {"IDAT", Compress(raw)}, {"IEND", {}}});
}

TEST(PngDecoder, DecodesAMinimalFile)
{
    const TPngImage image = DecodePng(GreyPng());
    EXPECT_EQ(image.Rgba, (Bytes{10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255, 40, 40, 40, 255}));
}

TEST(PngDecoder, RefusesWrongSignatureOrEmptyInput)
{
    Bytes file = GreyPng();
    file[1] = 'p';
    EXPECT_NE(ErrorOf(file).find("signature"), std::string::npos);
    EXPECT_TRUE(Refused({}));
    EXPECT_TRUE(Refused(Bytes(file.begin(), file.begin() + 8)));
}

TEST(PngDecoder, RefusesATooLargeDeclaredSizeBeforeReadingData)
{
    // No image data at all: only the header can have caused the refusal.
    const Bytes huge = BuildPng({{"IHDR", Header(0x7FFFFFFF, 0x7FFFFFFF, 16, 6)}, {"IEND", {}}});
    EXPECT_NE(ErrorOf(huge).find("too large"), std::string::npos) << ErrorOf(huge);

    TPngLimits small;
    small.MaxImageBytes = 15;
    EXPECT_NE(ErrorOf(GreyPng(), small).find("too large"), std::string::npos);
    small.MaxImageBytes = 16;
    EXPECT_EQ(ErrorOf(GreyPng(), small), "(decoded)");
}

TEST(PngDecoder, RefusesInvalidHeaders)
{
    const std::vector<Bytes> headers = {
        Header(0, 2, 8, 0),          Header(2, 0, 8, 0),         Header(0x80000000u, 1, 8, 0),
        Header(2, 2, 3, 0),          Header(2, 2, 16, 3),        Header(2, 2, 4, 2),
        Header(2, 2, 1, 6),          Header(2, 2, 8, 1),         Header(2, 2, 8, 5),
        Header(2, 2, 8, 7),          Header(2, 2, 8, 0, 2),      Header(2, 2, 8, 0, 0, 1),
        Header(2, 2, 8, 0, 0, 0, 1),
    };
    for (const Bytes& h : headers)
        EXPECT_TRUE(Refused(BuildPng({{"IHDR", h}, {"IDAT", Compress(kGreyRaw)}, {"IEND", {}}})));
    Bytes longHeader = Header(2, 2, 8, 0);
    longHeader.push_back(0);
    EXPECT_TRUE(Refused(BuildPng({{"IHDR", longHeader}, {"IDAT", Compress(kGreyRaw)}, {"IEND", {}}})));
}

TEST(PngDecoder, RefusesImageDataOfTheWrongLength)
{
    Bytes shortRaw = kGreyRaw;
    shortRaw.pop_back();
    EXPECT_NE(ErrorOf(GreyPng(shortRaw)).find("shorter"), std::string::npos);
    Bytes longRaw = kGreyRaw;
    longRaw.push_back(0);
    EXPECT_NE(ErrorOf(GreyPng(longRaw)).find("longer"), std::string::npos);
    // A small file that would inflate to 16 MiB for a 2 by 2 picture stops at the first extra byte.
    EXPECT_NE(ErrorOf(GreyPng(Bytes(std::size_t{16} << 20, 0))).find("longer"), std::string::npos);
}

TEST(PngDecoder, RefusesBrokenCompressedData)
{
    Bytes stream = Compress(kGreyRaw);
    Bytes truncated(stream.begin(), stream.end() - 4); // no adler checksum
    EXPECT_TRUE(Refused(BuildPng({{"IHDR", Header(2, 2, 8, 0)}, {"IDAT", truncated}, {"IEND", {}}})));
    Bytes garbage = stream;
    garbage[2] = 0xFF; // reserved block type
    EXPECT_TRUE(Refused(BuildPng({{"IHDR", Header(2, 2, 8, 0)}, {"IDAT", garbage}, {"IEND", {}}})));
    Bytes trailing = stream;
    trailing.push_back(0);
    EXPECT_TRUE(Refused(BuildPng({{"IHDR", Header(2, 2, 8, 0)}, {"IDAT", trailing}, {"IEND", {}}})));
    EXPECT_TRUE(Refused(BuildPng({{"IHDR", Header(2, 2, 8, 0)}, {"IDAT", stream}, {"IDAT", {0}}, {"IEND", {}}})));
}

TEST(PngDecoder, RefusesAnUnknownRowFilter)
{
    EXPECT_NE(ErrorOf(GreyPng({0, 1, 2, 5, 3, 4})).find("filter"), std::string::npos);
}

TEST(PngDecoder, RefusesChunksOutOfOrder)
{
    const Bytes header = Header(2, 2, 8, 0);
    const Bytes data = Compress(kGreyRaw);
    const Bytes half1(data.begin(), data.begin() + 4), half2(data.begin() + 4, data.end());
    const std::vector<std::vector<TChunkSpec>> files = {
        {{"IDAT", data}, {"IHDR", header}, {"IEND", {}}},                                  // IHDR not first
        {{"IHDR", header}, {"IHDR", header}, {"IDAT", data}, {"IEND", {}}},                // second IHDR
        {{"IHDR", header}, {"IEND", {}}},                                                  // no IDAT
        {{"IHDR", header}, {"IDAT", data}},                                                // no IEND
        {{"IHDR", header}, {"IDAT", data}, {"IEND", {1}}},                                 // IEND not empty
        {{"IHDR", header}, {"IDAT", half1}, {"teXt", {'a', 0}}, {"IDAT", half2}, {"IEND", {}}}, // split IDAT
        {{"IHDR", header}, {"VANT", {}}, {"IDAT", data}, {"IEND", {}}},                    // unknown critical
        {{"IHDR", header}, {"ID4T", {}}, {"IDAT", data}, {"IEND", {}}},                    // not four letters
    };
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(Refused(BuildPng(files[i]))) << "file " << i;
    // The same split with the ancillary chunk elsewhere is fine.
    EXPECT_FALSE(Refused(BuildPng({{"IHDR", header}, {"teXt", {'a', 0}}, {"IDAT", half1}, {"IDAT", half2},
                                   {"IEND", {}}})));
}

TEST(PngDecoder, ChecksPaletteAndTransparency)
{
    const Bytes raw = {0, 0x01}; // one row, one byte: pixels 0 0 0 1 at 2 bits (1 by 4 -> 4 by 1)
    const Bytes header = Header(4, 1, 2, 3);
    const Bytes palette = {1, 2, 3, 4, 5, 6};
    const TPngImage image = DecodePng(BuildPng({{"IHDR", header}, {"PLTE", palette}, {"tRNS", {7}},
                                                {"IDAT", Compress(raw)}, {"IEND", {}}}));
    EXPECT_EQ(image.Rgba, (Bytes{1, 2, 3, 7, 1, 2, 3, 7, 1, 2, 3, 7, 4, 5, 6, 255}));

    const Bytes outOfRange = {0, 0x02}; // index 2 of a two-entry palette
    EXPECT_NE(ErrorOf(BuildPng({{"IHDR", header}, {"PLTE", palette}, {"IDAT", Compress(outOfRange)},
                                {"IEND", {}}}))
                  .find("index"),
              std::string::npos);
    const std::vector<std::vector<TChunkSpec>> files = {
        {{"IHDR", header}, {"IDAT", Compress(raw)}, {"IEND", {}}},                                  // no PLTE
        {{"IHDR", header}, {"PLTE", {1, 2}}, {"IDAT", Compress(raw)}, {"IEND", {}}},                // not 3n
        {{"IHDR", header}, {"PLTE", Bytes(15, 1)}, {"IDAT", Compress(raw)}, {"IEND", {}}},          // 5 > 2^2
        {{"IHDR", header}, {"PLTE", palette}, {"PLTE", palette}, {"IDAT", Compress(raw)}, {"IEND", {}}},
        {{"IHDR", header}, {"PLTE", palette}, {"tRNS", {1, 2, 3}}, {"IDAT", Compress(raw)}, {"IEND", {}}},
        {{"IHDR", header}, {"tRNS", {1}}, {"PLTE", palette}, {"IDAT", Compress(raw)}, {"IEND", {}}},
        {{"IHDR", header}, {"IDAT", Compress(raw)}, {"PLTE", palette}, {"IEND", {}}},
        {{"IHDR", Header(2, 2, 8, 0)}, {"PLTE", palette}, {"IDAT", Compress(kGreyRaw)}, {"IEND", {}}},
        {{"IHDR", Header(2, 2, 8, 0)}, {"tRNS", {0}}, {"IDAT", Compress(kGreyRaw)}, {"IEND", {}}},
        {{"IHDR", Header(1, 1, 8, 6)}, {"tRNS", {0, 0}}, {"IDAT", Compress({0, 1, 2, 3, 4})}, {"IEND", {}}},
    };
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(Refused(BuildPng(files[i]))) << "file " << i;
}

TEST(PngDecoder, ADamagedFileNeverReadsPastItsEnd)
{
    // A length that points past the end of the buffer, with nothing after it: the sanitizers
    // would catch an access past the end of this exactly sized buffer.
    Bytes file = GreyPng();
    const std::size_t idat = ChunkOffsets(file)[1];
    file.resize(idat + 8);
    file[idat] = 0x7F;
    EXPECT_NE(ErrorOf(file).find("cut short"), std::string::npos);
}

} // namespace
