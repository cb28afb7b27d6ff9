#include "app/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/profile_store.h"
#include "tests/languages/test_folder.h"

namespace r7700 {
namespace {

std::string Read(std::string_view text, std::string_view section, std::string_view key,
                 size_t buffer_size = 20) {
  return ReadProfileString(text, section, key, "dflt", buffer_size);
}

TEST(ProfileRead, NamesIgnoreCaseAndBlanksAreTrimmed) {
  const std::string text =
      "  [ languagedefaults ]  \r\n"
      "\tLANGUAGE1 =   Deutsch  \r\n"
      "Language2=Two Words\r\n"
      "Language3=\r\n";
  EXPECT_EQ(Read(text, "LanguageDefaults", "Language1"), "Deutsch");
  EXPECT_EQ(Read(text, "LANGUAGEDEFAULTS", "language2"), "Two Words");
  EXPECT_EQ(Read(text, "LanguageDefaults", "Language3"), "");
  EXPECT_EQ(Read(text, "LanguageDefaults", "Language4"), "dflt");
  EXPECT_EQ(Read(text, "ProductDefaults", "Language1"), "dflt");
  EXPECT_EQ(Read("", "LanguageDefaults", "Language1"), "dflt");
}

TEST(ProfileRead, MatchingQuotesAreRemoved) {
  const std::string text =
      "[S]\n"
      "a=\"quoted value\"\n"
      "b='single'\n"
      "c=\"mixed'\n"
      "d=\"\n"
      "e= \" inner blanks \" \n"
      "f=\"\"\n";
  EXPECT_EQ(Read(text, "S", "a"), "quoted value");
  EXPECT_EQ(Read(text, "S", "b"), "single");
  EXPECT_EQ(Read(text, "S", "c"), "\"mixed'");
  EXPECT_EQ(Read(text, "S", "d"), "\"");
  EXPECT_EQ(Read(text, "S", "e"), " inner blanks ");
  EXPECT_EQ(Read(text, "S", "f"), "");
}

TEST(ProfileRead, ByteOrderMarkAndUnclosedHeadersReadAsWindowsReadsThem) {
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(
      Read(bom + "[LanguageDefaults]\r\nLanguage1=Deutsch\r\n", "LanguageDefaults", "Language1"),
      "Deutsch");
  const std::string text =
      "[LanguageDefaults]\n"
      "Language1=Deutsch\n"
      "[ProductDefaults\n"
      "DownloadTo=CARD\n";
  // Without its ']' the second header opens no section; its keys stay in the first.
  EXPECT_EQ(Read(text, "ProductDefaults", "DownloadTo"), "dflt");
  EXPECT_EQ(Read(text, "LanguageDefaults", "DownloadTo"), "CARD");
}

TEST(ProfileRead, ValuesAndDefaultsAreCutToTheBuffer) {
  const std::string text = "[S]\nk=" + std::string(30, 'v') + "\n";
  EXPECT_EQ(Read(text, "S", "k"), std::string(19, 'v'));
  EXPECT_EQ(Read(text, "S", "k", 5), "vvvv");
  EXPECT_EQ(Read(text, "S", "k", 1), "");
  EXPECT_EQ(Read(text, "S", "k", 0), "");
  EXPECT_EQ(ReadProfileString(text, "S", "x", std::string(30, 'd'), 20), std::string(19, 'd'));
}

TEST(ProfileRead, FirstSectionAndKeyWinAndCommentsAreIgnored) {
  const std::string text =
      "[S]\n"
      ";k=commented\n"
      "  ; k = also commented\n"
      "no equals sign here\n"
      "k=first\n"
      "K=second\n"
      "[T]\n"
      "k=other section\n"
      "[s]\n"
      "k=second section\n"
      "only=here\n";
  EXPECT_EQ(Read(text, "S", "k"), "first");
  EXPECT_EQ(Read(text, "T", "k"), "other section");
  EXPECT_EQ(Read(text, "S", "only"), "dflt");
  EXPECT_EQ(Read(text, "S", ";k"), "dflt");
  EXPECT_EQ(Read(text, "S", "no equals sign here"), "dflt");
}

TEST(ProfileWrite, ExistingKeyIsReplacedInPlace) {
  const std::string text =
      "; settings\r\n"
      "[LanguageDefaults]\r\n"
      "  language1 = English  \r\n"
      "Language2=None\r\n"
      "\r\n"
      "[ProductDefaults]\r\n"
      "DownloadTo=FLASH";
  EXPECT_EQ(WriteProfileString(text, "LANGUAGEDEFAULTS", "Language1", "Deutsch"),
            "; settings\r\n"
            "[LanguageDefaults]\r\n"
            "language1=Deutsch\r\n"
            "Language2=None\r\n"
            "\r\n"
            "[ProductDefaults]\r\n"
            "DownloadTo=FLASH");
  EXPECT_EQ(WriteProfileString(text, "ProductDefaults", "DownloadTo", "RAM"),
            "; settings\r\n"
            "[LanguageDefaults]\r\n"
            "  language1 = English  \r\n"
            "Language2=None\r\n"
            "\r\n"
            "[ProductDefaults]\r\n"
            "DownloadTo=RAM");
}

TEST(ProfileWrite, MissingKeyGoesBeforeTheSectionsTrailingBlankLines) {
  const std::string text =
      "[LanguageDefaults]\n"
      "Language1=English\n"
      "; end of languages\n"
      "\n"
      "\n"
      "[ProductDefaults]\n"
      "DownloadTo=FLASH";
  EXPECT_EQ(WriteProfileString(text, "languagedefaults", "Language2", "None"),
            "[LanguageDefaults]\n"
            "Language1=English\n"
            "; end of languages\n"
            "Language2=None\n"
            "\n"
            "\n"
            "[ProductDefaults]\n"
            "DownloadTo=FLASH");
  EXPECT_EQ(WriteProfileString(text, "ProductDefaults", "DownloadFirmware", "TRUE"),
            text + "\nDownloadFirmware=TRUE\n");
  EXPECT_EQ(WriteProfileString("[Empty]", "Empty", "k", "v"), "[Empty]\r\nk=v\r\n");
}

TEST(ProfileWrite, MissingSectionIsAppendedInTheFilesLineEnd) {
  EXPECT_EQ(WriteProfileString("", "S", "k", "v"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(WriteProfileString("[A]\nx=1\n", "S", "k", "v"), "[A]\nx=1\n[S]\nk=v\n");
  EXPECT_EQ(WriteProfileString("[A]\r\nx=1", "S", "k", "v"), "[A]\r\nx=1\r\n[S]\r\nk=v\r\n");
}

TEST(ProfileStoreFile, ReadsWritesAndTestsExistence) {
  TestFolder folder;
  const std::unique_ptr<ProfileStore> store = MakePlatformProfileStore();
  const std::string path = folder.Path("product.ini").string();
  EXPECT_FALSE(store->FileExists(path));
  EXPECT_FALSE(store->FileExists(folder.Path("data").string()));
  EXPECT_EQ(store->ReadString(path, "S", "k", "default", 20), "default");

  ASSERT_TRUE(store->WriteString(path, "S", "k", "v"));
  ASSERT_TRUE(store->WriteString(path, "S", "j", "w"));
  EXPECT_TRUE(store->FileExists(path));
  EXPECT_EQ(folder.Read("product.ini"), "[S]\r\nk=v\r\nj=w\r\n");
  EXPECT_EQ(store->ReadString(path, "s", "J", "default", 20), "w");

  EXPECT_FALSE(store->WriteString(folder.Path("data").string(), "S", "k", "v"));
}

}  // namespace
}  // namespace r7700
