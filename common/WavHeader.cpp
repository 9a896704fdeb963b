#include "common/WavHeader.h"

namespace linlangok {
namespace {

void PutLittleEndian(std::string& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

} // namespace

std::string CaptureFormatWavHeader(std::uint32_t dataBytes)
{
    constexpr std::uint32_t kRate = 44100;
    constexpr std::uint32_t kBytesPerFrame = 4;
    std::string header = "RIFF";
    PutLittleEndian(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    PutLittleEndian(header, 16, 4);
    PutLittleEndian(header, 1, 2); // PCM
    PutLittleEndian(header, 2, 2);
    PutLittleEndian(header, kRate, 4);
    PutLittleEndian(header, kRate * kBytesPerFrame, 4);
    PutLittleEndian(header, kBytesPerFrame, 2);
    PutLittleEndian(header, 16, 2);
    header += "data";
    PutLittleEndian(header, dataBytes, 4);
    return header;
}

} // namespace linlangok
