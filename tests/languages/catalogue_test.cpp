#include "languages/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

#include "link/memory_window.h"
#include "tests/languages/test_folder.h"

namespace r7700 {
namespace {

// The names a reader sees: rows up to (not including) the end marker.
std::vector<std::string> ListedNames(const LanguageChoices& choices) {
  std::vector<std::string> names;
  for (const LanguageEntry& row : choices.rows) {
    if (row.name.empty()) break;
    names.push_back(row.name);
  }
  return names;
}

class CatalogueTest : public ::testing::Test {
 protected:
  void WriteCatalogue(std::string_view text) { folder_.WriteData("lang.cfg", text); }
  int LoadChoices() { return LoadLanguageChoices(window_, folder_.paths(), choices_); }
  int LoadCatalogue() { return LoadLanguageCatalogue(folder_.paths(), catalogue_); }

  TestFolder folder_;
  MemoryWindow window_;
  LanguageChoices choices_;
  LanguageCatalogue catalogue_;
};

TEST_F(CatalogueTest, WorkedExampleFillsBothTables) {
  WriteCatalogue(
      "# followed by any text\n"
      "English,eng1.bin,eng2.bin,font1.bin,1,10,0\n"
      "\n"
      "Deutsch, deu1.bin, deu2.bin, 0, 2, 0x20, 1A\n");
  ASSERT_EQ(LoadChoices(), 0);
  EXPECT_EQ(ListedNames(choices_), (std::vector<std::string>{"None", "English", "Deutsch"}));
  EXPECT_EQ(choices_.rows[3].name, "");
  EXPECT_TRUE(window_.boxes().empty());

  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 2);
  const LanguageEntry& english = catalogue_.rows[0];
  EXPECT_EQ(english.name, "English");
  EXPECT_EQ(english.first_module_file, "eng1.bin");
  EXPECT_EQ(english.second_module_file, "eng2.bin");
  EXPECT_EQ(english.font_file, "font1.bin");
  EXPECT_EQ(english.decimal_value, 1);
  EXPECT_EQ(english.hex_value1, 0x10u);
  EXPECT_EQ(english.hex_value2, 0x0u);
  EXPECT_FALSE(HasNoFont(english));
  const LanguageEntry& deutsch = catalogue_.rows[1];
  EXPECT_EQ(deutsch.name, "Deutsch");
  EXPECT_EQ(deutsch.first_module_file, "deu1.bin");
  EXPECT_EQ(deutsch.second_module_file, "deu2.bin");
  EXPECT_EQ(deutsch.font_file, "0");
  EXPECT_TRUE(HasNoFont(deutsch));
  EXPECT_EQ(deutsch.decimal_value, 2);
  EXPECT_EQ(deutsch.hex_value1, 0x20u);
  EXPECT_EQ(deutsch.hex_value2, 0x1Au);
}

TEST_F(CatalogueTest, CommentsAndEmptyLinesOnly) {
  WriteCatalogue("# one\n\n#two\r\n\r\n#");
  ASSERT_EQ(LoadChoices(), 0);
  EXPECT_EQ(ListedNames(choices_), std::vector<std::string>{"None"});
  catalogue_.count = 7;
  ASSERT_EQ(LoadCatalogue(), 0);
  EXPECT_EQ(catalogue_.count, 0);
}

TEST_F(CatalogueTest, CommaRunsBlanksAndWordsAfterTheFirst) {
  WriteCatalogue(
      ",,Simplified Chinese,,, zh1.bin trailing text ,\tzh2.bin,font.bin x,-5 y,0X1a,1A\n"
      "   # not a comment,a.bin,b.bin,0,+7,ff,FFFFFFFF\r\n"
      "Last,l1.bin,l2.bin,0,12abc,0x,zz");
  ASSERT_EQ(LoadChoices(), 0);
  EXPECT_EQ(ListedNames(choices_), (std::vector<std::string>{"None", "Simplified", "#", "Last"}));
  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 3);
  const LanguageEntry& chinese = catalogue_.rows[0];
  EXPECT_EQ(chinese.name, "Simplified");
  EXPECT_EQ(chinese.first_module_file, "zh1.bin");
  EXPECT_EQ(chinese.second_module_file, "zh2.bin");
  EXPECT_EQ(chinese.font_file, "font.bin");
  EXPECT_EQ(chinese.decimal_value, -5);
  EXPECT_EQ(chinese.hex_value1, 0x1Au);
  EXPECT_EQ(chinese.hex_value2, 0x1Au);
  const LanguageEntry& hash = catalogue_.rows[1];
  EXPECT_EQ(hash.name, "#");
  EXPECT_EQ(hash.first_module_file, "a.bin");
  EXPECT_EQ(hash.decimal_value, 7);
  EXPECT_EQ(hash.hex_value1, 0xFFu);
  EXPECT_EQ(hash.hex_value2, 0xFFFFFFFFu);
  // The last line has no line end and numbers stop at foreign characters.
  const LanguageEntry& last = catalogue_.rows[2];
  EXPECT_EQ(last.name, "Last");
  EXPECT_EQ(last.second_module_file, "l2.bin");
  EXPECT_EQ(last.decimal_value, 12);
  EXPECT_EQ(last.hex_value1, 0u);
  EXPECT_EQ(last.hex_value2, 0u);
}

TEST_F(CatalogueTest, DuplicatesAndSingleCommaLines) {
  WriteCatalogue(
      "English,e1,e2,0,1,1,1\n"
      "Deutsch,d1,d2,0,2,2,2\n"
      "English,x1,x2,0,3,3,3\n"
      ",\n"
      "Italiano,i1,i2,0,4,4,4\n");
  ASSERT_EQ(LoadChoices(), 0);
  // Both Englishes are listed; the comma line is an empty name, which ends
  // the lists there.
  EXPECT_EQ(ListedNames(choices_),
            (std::vector<std::string>{"None", "English", "Deutsch", "English"}));
  EXPECT_EQ(choices_.rows[5].name, "Italiano");
  EXPECT_EQ(FindLanguage(choices_, "English"), 1);
  EXPECT_EQ(FindLanguage(choices_, "None"), 0);
  EXPECT_EQ(FindLanguage(choices_, "english"), -1);
  EXPECT_EQ(FindLanguage(choices_, "Italiano"), -1);
  EXPECT_EQ(FindLanguage(choices_, ""), -1);

  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 5);
  EXPECT_EQ(catalogue_.rows[3].name, "");
  EXPECT_EQ(catalogue_.rows[3].first_module_file, "");
  EXPECT_EQ(catalogue_.rows[3].decimal_value, 0);
  EXPECT_EQ(catalogue_.rows[4].name, "Italiano");
}

TEST_F(CatalogueTest, SyntaxErrorNamesTheLineCountingEveryPiece) {
  // A comment of 250 characters is read as two pieces by the names pass.
  WriteCatalogue("English,e1,e2,0,1,1,1\n# " + std::string(248, 'c') + "\n\n,,,");
  EXPECT_EQ(LoadChoices(), 103);
  ASSERT_EQ(window_.boxes().size(), 1u);
  const ShownBox& box = window_.boxes()[0];
  EXPECT_EQ(box.text, "Invalidate syntax in file lang.cfg line : 5 !\nError nr.: 103");
  EXPECT_EQ(box.caption, "ERROR");
  EXPECT_EQ(box.icon, BoxIcon::kError);
  EXPECT_EQ(box.buttons, BoxButtons::kOk);
  // The comment's continuation piece became a data line; rows stay filled.
  EXPECT_EQ(choices_.rows[1].name, "English");
  EXPECT_EQ(choices_.rows[2].name, std::string(19, 'c'));

  catalogue_.count = 3;
  catalogue_.rows[0].name = "Before";
  EXPECT_EQ(LoadCatalogue(), -1);
  EXPECT_EQ(catalogue_.count, 3);
  EXPECT_EQ(catalogue_.rows[0].name, "Before");
}

TEST_F(CatalogueTest, MissingFileShowsItsPath) {
  EXPECT_EQ(LoadChoices(), 102);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text,
            "Cannot open the file " + folder_.paths().catalogue_path + " !\nError nr.: 102");
  EXPECT_EQ(window_.boxes()[0].caption, "ERROR");
  EXPECT_EQ(choices_.rows[0].name, "None");

  catalogue_.count = 1;
  catalogue_.rows[0].name = "Kept";
  EXPECT_EQ(LoadCatalogue(), -1);
  EXPECT_EQ(catalogue_.count, 1);
  EXPECT_EQ(catalogue_.rows[0].name, "Kept");

  // A folder in its place is no catalogue either, not an empty one.
  std::filesystem::create_directory(folder_.paths().catalogue_path);
  EXPECT_EQ(LoadChoices(), 102);
  EXPECT_EQ(LoadCatalogue(), -1);
}

TEST_F(CatalogueTest, CarriageReturnsBeforeLineFeedsAreDropped) {
  WriteCatalogue("#c\r\nEnglish,e1,e2,0,1,1,1\r\n\r\nDeutsch,d1,d2,f,2,2,2\r\n,,,");
  EXPECT_EQ(LoadChoices(), 103);
  EXPECT_EQ(window_.boxes()[0].text,
            "Invalidate syntax in file lang.cfg line : 5 !\nError nr.: 103");
  EXPECT_EQ(choices_.rows[2].name, "Deutsch");
}

TEST_F(CatalogueTest, LongWordsAreCutAndLongLinesSplitIntoPieces) {
  const std::string long_name(25, 'N');
  // 150 characters: one piece for the names pass, two for the full pass.
  const std::string long_line = "Long,l1.bin,l2.bin,0,1,2,3," + std::string(123, ' ');
  ASSERT_EQ(long_line.size(), 150u);
  WriteCatalogue(long_name + ",a.bin," + std::string(30, 'm') + ",0,1,1,1\n" + long_line + "\n");
  ASSERT_EQ(LoadChoices(), 0);
  EXPECT_EQ(ListedNames(choices_),
            (std::vector<std::string>{"None", std::string(19, 'N'), "Long"}));
  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 3);
  EXPECT_EQ(catalogue_.rows[0].name, std::string(19, 'N'));
  EXPECT_EQ(catalogue_.rows[0].second_module_file, std::string(19, 'm'));
  EXPECT_EQ(catalogue_.rows[1].name, "Long");
  EXPECT_EQ(catalogue_.rows[1].hex_value2, 3u);
  // The rest of the line is a row of its own with no word.
  EXPECT_EQ(catalogue_.rows[2].name, "");
}

TEST_F(CatalogueTest, EighteenDataLinesFitAndTheNineteenthIsRefused) {
  std::string text = "# languages\n";
  for (int i = 1; i <= 18; ++i) text += "L" + std::to_string(i) + ",a,b,0,1,1,1\n";
  WriteCatalogue(text);
  ASSERT_EQ(LoadChoices(), 0);
  ASSERT_EQ(ListedNames(choices_).size(), 19u);
  EXPECT_EQ(choices_.rows[18].name, "L18");
  EXPECT_EQ(choices_.rows[19].name, "");
  ASSERT_EQ(LoadCatalogue(), 0);
  EXPECT_EQ(catalogue_.count, 18);

  WriteCatalogue(text + "\nL19,a,b,0,1,1,1\n");
  LanguageChoices fresh;
  EXPECT_EQ(LoadLanguageChoices(window_, folder_.paths(), fresh), 103);
  ASSERT_EQ(window_.boxes().size(), 1u);
  EXPECT_EQ(window_.boxes()[0].text,
            "Invalidate syntax in file lang.cfg line : 21 !\nError nr.: 103");
  EXPECT_EQ(LoadCatalogue(), -1);
  EXPECT_EQ(catalogue_.count, 18);
  EXPECT_EQ(catalogue_.rows[17].name, "L18");
}

TEST_F(CatalogueTest, ShortLinesGiveEmptyFieldsAndEditsReachTheNextRead) {
  WriteCatalogue("Lone\nPair,p1.bin\n");
  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 2);
  EXPECT_EQ(catalogue_.rows[0].name, "Lone");
  EXPECT_EQ(catalogue_.rows[0].first_module_file, "");
  EXPECT_EQ(catalogue_.rows[0].font_file, "");
  EXPECT_EQ(catalogue_.rows[1].first_module_file, "p1.bin");
  EXPECT_EQ(catalogue_.rows[1].second_module_file, "");
  EXPECT_EQ(catalogue_.rows[1].hex_value1, 0u);

  WriteCatalogue("Other,o1,o2,0,9,9,9\n");
  ASSERT_EQ(LoadCatalogue(), 0);
  ASSERT_EQ(catalogue_.count, 1);
  EXPECT_EQ(catalogue_.rows[0].name, "Other");
  EXPECT_EQ(catalogue_.rows[0].decimal_value, 9);
}

}  // namespace
}  // namespace r7700
