// WAV files: what WavWriter writes reads back through WavReader; headers of
// other writers (16/24-bit, extensible, extra chunks) read; malformed ones
// are refused with a status.
#include "WavReader.h"
#include "WavWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"wavtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           name;
}

void Put(std::vector<uint8_t>& bytes, const char* text)
{
    bytes.insert(bytes.end(), text, text + std::strlen(text));
}

void Put(std::vector<uint8_t>& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A RIFF file with a fmt chunk of `tag`, an odd-sized chunk before it and
// `data` as its data chunk.
std::vector<uint8_t> Riff(uint16_t tag, uint16_t channels, uint16_t bits,
                          const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> body;
    Put(body, "WAVE");
    Put(body, "LIST");
    Put(body, 3, 4);
    Put(body, "abc");
    body.push_back(0); // padding of the odd chunk
    Put(body, "fmt ");
    Put(body, tag == 0xFFFE ? 40 : 16, 4);
    Put(body, tag, 2);
    Put(body, channels, 2);
    Put(body, 44100, 4);
    Put(body, 44100u * channels * bits / 8, 4);
    Put(body, channels * bits / 8, 2);
    Put(body, bits, 2);
    if (tag == 0xFFFE) {
        Put(body, 22, 2);
        Put(body, bits, 2);
        Put(body, 3, 4);
        Put(body, 1, 2); // sub-format PCM
        body.insert(body.end(), 14, 0);
    }
    Put(body, "data");
    Put(body, static_cast<uint32_t>(data.size()), 4);
    body.insert(body.end(), data.begin(), data.end());
    std::vector<uint8_t> file;
    Put(file, "RIFF");
    Put(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

} // namespace

TEST(WavTest, WrittenFramesReadBackWithTheirFormat)
{
    const std::wstring path = TempPath(L"roundtrip.wav");
    {
        WavWriter writer;
        ASSERT_EQ(writer.Create(path, 96000, 3), 0u);
        EXPECT_EQ(writer.Create(path, 96000, 3), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        const int32_t first[] = {1, -2, INT32_MIN, INT32_MAX, 0, 0x12345678};
        ASSERT_EQ(writer.Append(first, 2), 0u);
        const int32_t second[] = {7, 8, 9};
        ASSERT_EQ(writer.Append(second, 1), 0u);
        EXPECT_EQ(writer.Frames(), 3u);
        // The destructor finishes the file.
    }
    WavReader reader;
    ASSERT_EQ(reader.Open(path), 0u);
    EXPECT_EQ(reader.Rate(), 96000u);
    EXPECT_EQ(reader.Channels(), 3u);
    EXPECT_EQ(reader.Bits(), 32u);
    ASSERT_EQ(reader.Frames(), 3u);
    EXPECT_EQ(reader.Sample(0, 2), INT32_MIN);
    EXPECT_EQ(reader.Sample(1, 2), 0x12345678);
    EXPECT_EQ(reader.Sample(2, 0), 7);

    WavWriter empty;
    ASSERT_EQ(empty.Create(path, 48000, 1), 0u);
    ASSERT_EQ(empty.Finish(), 0u);
    EXPECT_EQ(empty.Append(nullptr, 1), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_EQ(reader.Open(path), 0u);
    EXPECT_EQ(reader.Frames(), 0u);
    EXPECT_EQ(reader.Rate(), 48000u);
    DeleteFileW(path.c_str());
}

TEST(WavTest, WriterRefusesBadArgumentsAndUnwritablePaths)
{
    WavWriter writer;
    EXPECT_EQ(writer.Create(TempPath(L"x.wav"), 0, 2), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(writer.Create(TempPath(L"x.wav"), 48000, 0),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_NE(writer.Create(TempPath(L"no-such-folder\\x.wav"), 48000, 2), 0u);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.Finish(), 0u);
}

TEST(WavTest, OtherWritersSampleSizesReadLeftJustified)
{
    WavReader reader;
    // 16-bit stereo: one frame of (-2, 0x1234).
    ASSERT_EQ(reader.Parse(Riff(1, 2, 16, {0xFE, 0xFF, 0x34, 0x12}).data(),
                           Riff(1, 2, 16, {0xFE, 0xFF, 0x34, 0x12}).size()),
              0u);
    ASSERT_EQ(reader.Frames(), 1u);
    EXPECT_EQ(reader.Sample(0, 0), -2 * 65536);
    EXPECT_EQ(reader.Sample(0, 1), 0x12340000);

    // 24-bit mono, extensible header, with a trailing partial frame left out.
    std::vector<uint8_t> file = Riff(0xFFFE, 1, 24, {0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x01});
    ASSERT_EQ(reader.Parse(file.data(), file.size()), 0u);
    EXPECT_EQ(reader.Bits(), 24u);
    ASSERT_EQ(reader.Frames(), 2u);
    EXPECT_EQ(reader.Sample(0, 0), 0x12345600);
    EXPECT_EQ(reader.Sample(1, 0), INT32_MIN);
}

TEST(WavTest, MalformedHeadersAreRefused)
{
    const DWORD bad = ERROR_BAD_FORMAT;
    WavReader reader;
    std::vector<uint8_t> good = Riff(1, 1, 16, {1, 0});
    ASSERT_EQ(reader.Parse(good.data(), good.size()), 0u);

    std::vector<std::vector<uint8_t>> wrong = {
        Riff(3, 1, 32, {0, 0, 0, 0}), // float samples
        Riff(1, 0, 16, {}),           // no channels
        Riff(1, 1, 8, {1}),           // 8-bit
    };
    std::vector<uint8_t> truncated = good;
    truncated.resize(truncated.size() - 1); // the RIFF size claims more than the file
    wrong.push_back(truncated);
    std::vector<uint8_t> longData = good;
    longData[longData.size() - 6] = 0xFF; // data size past the RIFF end
    wrong.push_back(longData);
    std::vector<uint8_t> notWave = good;
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    wrong.push_back(notWave);
    for (size_t i = 0; i < wrong.size(); ++i) {
        EXPECT_EQ(reader.Parse(wrong[i].data(), wrong[i].size()), bad) << "case " << i;
        EXPECT_EQ(reader.Channels(), 0u) << "a refused file leaves the reader empty";
    }
    EXPECT_EQ(reader.Parse(good.data(), 11), bad);
    EXPECT_EQ(reader.Open(TempPath(L"never-written.wav")),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
