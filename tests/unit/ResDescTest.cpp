#include <gtest/gtest.h>

#include "geometry/ResDesc.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

using ::testing::ExitedWithCode;

TEST(ResDesc, TypedReadsAreLittleEndian) {
    TempDir dir;
    Bytes b;
    b.raw({0x7f, 0x34, 0x12, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3f});
    b.raw({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf8, 0x3f}); // 1.5
    b.raw({0xfe, 0xff, 0xff, 0xff});
    dir.write("bytes.bin", b.data);
    ResDescFile file("bytes.bin");
    EXPECT_EQ(file.readU8(), 0x7f);
    EXPECT_EQ(file.readU16(), 0x1234);
    EXPECT_EQ(file.readU32(), 2u);
    EXPECT_EQ(file.readFloat(), 1.0f);
    EXPECT_EQ(file.readDouble(), 1.5);
    EXPECT_EQ(static_cast<int32_t>(file.readU32()), -2);
}

TEST(ResDesc, ShortReadsGiveZeroAndTypedReadsPastTheEndGiveZero) {
    TempDir dir;
    dir.write("eight.bin", std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8});
    ResDescFile file("eight.bin");
    unsigned char buffer[12];
    EXPECT_EQ(file.read(buffer, 12), 0);
    EXPECT_EQ(file.seek(0, SEEK_SET), 0);
    EXPECT_EQ(file.read(buffer, 0), 0);
    EXPECT_EQ(file.read(buffer, 8), 1);
    EXPECT_EQ(file.tell(), 8);

    // Two bytes left: the typed reads must not hand out half a value.
    EXPECT_EQ(file.seek(-2, SEEK_END), 0);
    EXPECT_EQ(file.readU32(), 0u);
    EXPECT_EQ(file.seek(6, SEEK_SET), 0);
    EXPECT_EQ(file.readDouble(), 0.0);
    EXPECT_EQ(file.seek(7, SEEK_SET), 0);
    EXPECT_EQ(file.readU16(), 0);
    EXPECT_EQ(file.readU8(), 0);
    EXPECT_EQ(file.readFloat(), 0.0f);
    uint16_t untouched = 77;
    EXPECT_FALSE(file.tryReadU16(untouched));
    EXPECT_EQ(untouched, 77);
}

TEST(ResDesc, MissingFilePrintsItsLineAndExits) {
    TempDir dir;
    EXPECT_EXIT(ResDescFile("data/x.aml"), ExitedWithCode(1), "File data/x\\.aml not found!\n");
}
