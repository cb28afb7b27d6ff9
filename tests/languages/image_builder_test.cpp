#include "languages/image_builder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/memory_window.h"
#include "tests/languages/test_folder.h"

namespace r7700 {
namespace {

constexpr int kStatusLog = 1006;

// Recognisable file contents: byte i of file `seed` is seed + i.
std::string Pattern(size_t size, uint8_t seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i);
  return bytes;
}

std::string Bytes(std::initializer_list<uint8_t> values) {
  return std::string(values.begin(), values.end());
}

// A 44-byte slot as the instrument reads it: 20-byte name and the numbers.
std::string SlotBytes(std::string_view name, std::string numbers) {
  std::string slot(name);
  slot.resize(20, '\0');
  return slot + numbers;
}

class ImageBuilderTest : public ::testing::Test {
 protected:
  ImageBuilderTest() {
    folder_.WriteData("lang.cfg",
                      "# languages\n"
                      "English,eng1.bin,eng2.bin,font1.bin,1,10,0\n"
                      "Deutsch, deu1.bin, deu2.bin, 0, 2, 0x20, 1A\n");
    folder_.WriteData("eng1.bin", Pattern(1000, 1));
    folder_.WriteData("eng2.bin", Pattern(500, 2));
    folder_.WriteData("font1.bin", Pattern(3000, 3));
    folder_.WriteData("deu1.bin", Pattern(1200, 4));
    folder_.WriteData("deu2.bin", Pattern(600, 5));
  }

  int Begin() { return BeginLanguageImage(builder_, catalogue_, folder_.paths(), window_); }
  int Add(std::string_view name) {
    return AddLanguageToImage(builder_, catalogue_, folder_.paths(), window_, name);
  }
  int Finish() { return FinishLanguageImage(builder_, folder_.paths(), window_); }
  std::string Image() const { return folder_.Read("lng1"); }
  std::string Log() { return window_.GetText(kStatusLog); }
  std::string DataPath(std::string_view name) const { return DataFilePath(folder_.paths(), name); }

  TestFolder folder_;
  MemoryWindow window_;
  LanguageCatalogue catalogue_;
  LanguageImageBuilder builder_;
};

TEST_F(ImageBuilderTest, WorkedExampleByteForByte) {
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("English"), 0);
  ASSERT_EQ(Add("Deutsch"), 0);
  ASSERT_EQ(Finish(), 0);

  std::string expected =
      SlotBytes("English",
                Bytes({0xE0, 0x00, 0xB0, 0x03, 0xC8, 0x04, 0xB0, 0x03, 0xBC, 0x06, 0xB0, 0x03,
                       0xB8, 0x0B, 0x00, 0x00, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00})) +
      SlotBytes("Deutsch",
                Bytes({0x74, 0x12, 0xB0, 0x03, 0x24, 0x17, 0xB0, 0x03, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x20, 0x00, 0x1A, 0x00, 0x00, 0x00})) +
      std::string(3 * 44, '\0') + Pattern(1000, 1) + Pattern(500, 2) + Pattern(3000, 3) +
      Pattern(1200, 4) + Pattern(600, 5);
  ASSERT_EQ(expected.size(), 6520u);
  EXPECT_EQ(Image(), expected);
  EXPECT_EQ(Log(), "");
}

TEST_F(ImageBuilderTest, RepeatedLanguageIsSkippedOnce) {
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("Deutsch"), 0);
  EXPECT_EQ(Add("Deutsch"), 0);
  EXPECT_EQ(Log(), "Skip language Deutsch!\r\n");
  ASSERT_EQ(Finish(), 0);
  const std::string image = Image();
  ASSERT_EQ(image.size(), 220u + 1800u);
  EXPECT_EQ(image.substr(0, 7), "Deutsch");
  EXPECT_EQ(image.substr(44, 176), std::string(176, '\0'));
  EXPECT_EQ(image.substr(220), Pattern(1200, 4) + Pattern(600, 5));
}

TEST_F(ImageBuilderTest, NoLanguageGivesAZeroDirectory) {
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Finish(), 0);
  EXPECT_EQ(Image(), std::string(220, '\0'));
}

TEST_F(ImageBuilderTest, EmptyModuleSharesTheNextAddressAndFontZeroMeansNone) {
  folder_.WriteData("lang.cfg", "Empty,none.bin,deu2.bin,0font.bin,-1,12345,FFFF0001\n");
  folder_.WriteData("none.bin", "");
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Empty"), 0);
  ASSERT_EQ(Finish(), 0);
  const std::string expected =
      SlotBytes("Empty", Bytes({0xE0, 0x00, 0xB0, 0x03, 0xE0, 0x00, 0xB0, 0x03, 0,    0, 0, 0, 0,
                                0,    0,    0,    0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00, 0, 0})) +
      std::string(4 * 44, '\0') + Pattern(600, 5);
  EXPECT_EQ(Image(), expected);
}

TEST_F(ImageBuilderTest, SizeLimitLeavesRoomForTheAreaHeader) {
  folder_.WriteData("lang.cfg", "Big,big.bin,empty.bin,0,0,0,0\nOne,one.bin,empty.bin,0,0,0,0\n");
  folder_.WriteData("empty.bin", "");
  folder_.WriteData("one.bin", "x");
  folder_.WriteData("big.bin", std::string(0xFFFFC - 220, 'b'));

  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Big"), 0);
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(std::filesystem::file_size(folder_.Path("lng1")), 0xFFFFCu);

  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Big"), 0);
  ASSERT_EQ(Add("One"), 0);
  EXPECT_EQ(Finish(), -1);
  EXPECT_FALSE(folder_.Exists("lng1"));

  folder_.WriteData("big.bin", std::string(0x100000 - 220, 'b'));
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Big"), 0);
  EXPECT_EQ(Finish(), -1);
  EXPECT_FALSE(folder_.Exists("lng1"));
  EXPECT_EQ(Log(), "");
}

TEST_F(ImageBuilderTest, MissingLanguagesAndFilesAreLogged) {
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("Klingon"), -1);
  EXPECT_EQ(Log(), "Language Klingon not found!\r\n");

  std::filesystem::remove(folder_.Path("data/eng2.bin"));
  window_.SetText(kStatusLog, "");
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), -1);
  EXPECT_EQ(Log(), "Cannot open " + DataPath("eng2.bin") + "!\r\n");
  // The failed image is closed and no longer finished.
  EXPECT_EQ(Finish(), -1);

  folder_.WriteData("eng2.bin", "2");
  std::filesystem::remove(folder_.Path("data/font1.bin"));
  window_.SetText(kStatusLog, "");
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), -1);
  EXPECT_EQ(Log(), "Cannot open font " + DataPath("font1.bin") + "!\r\n");

  window_.SetText(kStatusLog, "");
  folder_.WriteData("lang.cfg", "Bare,,,,\n");
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("Bare"), -1);
  EXPECT_EQ(Log(), "Cannot open " + DataPath("") + "!\r\n");
}

// A directory or a FIFO among the files is refused before anything is
// copied: the FIFO would block the build for good.
TEST_F(ImageBuilderTest, UnreadableFileFailsTheBuild) {
  std::filesystem::remove(folder_.Path("data/font1.bin"));
  std::filesystem::create_directory(folder_.Path("data/font1.bin"));
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), -1);
  EXPECT_EQ(Log(), DataPath("font1.bin") + " is not a regular file!\r\n");

  std::filesystem::remove(folder_.Path("data/font1.bin"));
  ASSERT_EQ(mkfifo(folder_.Path("data/font1.bin").c_str(), 0600), 0);
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), -1);
}

// Files whose sizes cannot fit are not copied at all; the image is refused
// as too large when it is finished.
TEST_F(ImageBuilderTest, OversizedFileIsNeverCopied) {
  std::filesystem::resize_file(folder_.Path("data/font1.bin"), uintmax_t{5} << 30);
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), 0);
  EXPECT_EQ(Finish(), -1);
  EXPECT_FALSE(std::filesystem::exists(folder_.paths().temp_image_path));
}

TEST_F(ImageBuilderTest, MissingCatalogueFindsNothing) {
  std::filesystem::remove(folder_.Path("data/lang.cfg"));
  ASSERT_EQ(Begin(), 0);
  EXPECT_EQ(Add("English"), -1);
  EXPECT_EQ(Log(), "Language English not found!\r\n");
}

TEST_F(ImageBuilderTest, FiveSlotsAtMost) {
  std::string catalogue;
  for (int i = 1; i <= 6; ++i)
    catalogue += "L" + std::to_string(i) + ",deu2.bin,deu2.bin,0,1,1,1\n";
  folder_.WriteData("lang.cfg", catalogue);
  ASSERT_EQ(Begin(), 0);
  for (int i = 1; i <= 5; ++i) ASSERT_EQ(Add("L" + std::to_string(i)), 0);
  EXPECT_EQ(Add("L6"), -1);
  EXPECT_EQ(Log(), "");
}

TEST_F(ImageBuilderTest, PlantedLinkIsNeverFollowed) {
  folder_.Write("victim", "precious");
  std::filesystem::create_symlink(folder_.Path("victim"), folder_.Path("lng1"));
  EXPECT_EQ(CreateFileExclusive(folder_.paths().temp_image_path), nullptr);
  EXPECT_EQ(folder_.Read("victim"), "precious");

  // Begin deletes no name it did not create: the build fails instead.
  EXPECT_EQ(Begin(), -1);
  EXPECT_EQ(folder_.Read("victim"), "precious");
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path("lng1")));
  DiscardLanguageImage(builder_, folder_.paths());
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path("lng1")));

  // What it created it deletes, on the next build and when discarded.
  std::filesystem::remove(folder_.Path("lng1"));
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Finish(), 0);
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Finish(), 0);
  EXPECT_EQ(Image(), std::string(220, '\0'));
  DiscardLanguageImage(builder_, folder_.paths());
  EXPECT_FALSE(std::filesystem::exists(folder_.Path("lng1")));
}

TEST_F(ImageBuilderTest, UncreatableTemporaryFileIsReported) {
  // A folder that is not empty cannot be deleted, so nothing can be created.
  std::filesystem::create_directories(folder_.Path("lng1/inside"));
  EXPECT_EQ(Begin(), -1);
  EXPECT_EQ(Log(), "Cannot create temporary file " + folder_.paths().temp_image_path + "!\r\n");
  EXPECT_EQ(Add("English"), -1);
  EXPECT_EQ(Finish(), -1);
}

TEST_F(ImageBuilderTest, CatalogueEditsReachTheNextBuild) {
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Deutsch"), 0);
  ASSERT_EQ(Finish(), 0);
  folder_.WriteData("lang.cfg", "Deutsch,deu2.bin,deu2.bin,0,3,4,5\n");
  ASSERT_EQ(Begin(), 0);
  ASSERT_EQ(Add("Deutsch"), 0);
  ASSERT_EQ(Finish(), 0);
  const std::string image = Image();
  ASSERT_EQ(image.size(), 220u + 1200u);
  EXPECT_EQ(image.substr(20, 24),
            Bytes({0xE0, 0x00, 0xB0, 0x03, 0x38, 0x03, 0xB0, 0x03, 0, 0, 0, 0,
                   0,    0,    0,    0,    3,    0,    4,    0,    5, 0, 0, 0}));
}

TEST(LanguageDirectory, EncodesNamesCutToNineteenCharacters) {
  LanguageDirectory directory{};
  directory[4].name = std::string(25, 'z');
  directory[4].font_length = 0x01020304;
  const DirectoryBytes bytes = EncodeLanguageDirectory(directory);
  const std::string slot(bytes.begin() + 176, bytes.end());
  EXPECT_EQ(slot.substr(0, 20), std::string(19, 'z') + '\0');
  EXPECT_EQ(slot.substr(32, 4), Bytes({4, 3, 2, 1}));
}

}  // namespace
}  // namespace r7700
