#include "link/frame.h"

#include <gtest/gtest.h>

namespace qj {
namespace {

struct Vector
{
    std::uint8_t wireId, value;
    frame::Frame bytes;
};

TEST(Frame, WorkedFramesAreByteExact)
{
    const Vector vectors[] = {
        {0x00, 0x01, {0xAA, 0x00, 0x01, 0x54}}, // connect
        {0x00, 0x0A, {0xAA, 0x00, 0x0A, 0x4B}}, // mute
        {0x1F, 0x1E, {0xAA, 0x1F, 0x1E, 0x18}}, // music level 30
        {0x25, 0xFF, {0xAA, 0x25, 0xFF, 0x31}}, // check byte wraps below zero
        {0x1A, 0x08, {0xAA, 0x1A, 0x08, 0x33}}, // source "Auto"
        {0x12, 0x05, {0xAA, 0x12, 0x05, 0x3E}}, // key "#b"
        {0x0C, 0x03, {0xAA, 0x0C, 0x03, 0x46}}, // echo "Stereo+"
        {0x01, 0x64, {0xAA, 0x01, 0x64, 0xF0}}, // echo delay 100
    };
    for (const Vector &v : vectors)
        EXPECT_EQ(frame::make(v.wireId, v.value), v.bytes) << int(v.wireId) << "/" << int(v.value);
}

TEST(Frame, EveryIdAndValueSumsToFF)
{
    for (int id = 0; id < 38; ++id) {
        for (int value = 0; value < 256; ++value) {
            const frame::Frame f = frame::make(std::uint8_t(id), std::uint8_t(value));
            ASSERT_EQ(frame::sum(f.data()), frame::kSum) << id << "/" << value;
            ASSERT_EQ(f[0], frame::kStart);
        }
    }
}

TEST(Frame, SumMasksAfterEveryByte)
{
    const std::uint8_t bad[] = {0xAA, 0x01, 0x64, 0xF1};
    EXPECT_EQ(frame::sum(bad), 0x00);
}

} // namespace
} // namespace qj
