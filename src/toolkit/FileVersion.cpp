#include "toolkit/FileVersion.h"

#include <cstring>

namespace {

// The leading fields of the platform's fixed file-information record, in its byte layout.
struct FixedFileInfoHead {
    std::uint32_t Signature;
    std::uint32_t StructVersion;
    std::uint32_t FileVersionMS;
    std::uint32_t FileVersionLS;
};

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoSize = 52;  // the whole record: thirteen 32-bit fields

}  // namespace

std::string FormatFileVersion(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS)
{
    return std::to_string(fileVersionMS >> 16) + "." + std::to_string(fileVersionMS & 0xFFFF) + "." +
           std::to_string(fileVersionLS >> 16) + "." + std::to_string(fileVersionLS & 0xFFFF);
}

std::string FileVersionFromRecord(const void* block, std::size_t blockSize, const void* record,
                                  std::size_t recordLength)
{
    if (!block || !record || recordLength < kFixedFileInfoSize)
        return {};
    const auto* blockStart = static_cast<const unsigned char*>(block);
    const auto* recordStart = static_cast<const unsigned char*>(record);
    if (recordStart < blockStart || recordStart > blockStart + blockSize)
        return {};
    const std::size_t offset = static_cast<std::size_t>(recordStart - blockStart);
    if (blockSize - offset < kFixedFileInfoSize)
        return {};
    FixedFileInfoHead head;
    std::memcpy(&head, recordStart, sizeof head);
    if (head.Signature != kFixedFileInfoSignature)
        return {};
    return FormatFileVersion(head.FileVersionMS, head.FileVersionLS);
}
