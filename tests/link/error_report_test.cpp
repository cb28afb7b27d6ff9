#include "link/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "link/control_ids.h"
#include "link/memory_window.h"

namespace r7700 {
namespace {

class ErrorReportTest : public ::testing::Test {
 protected:
  // Exactly one box was shown, with this text, caption and icon, OK alone.
  void ExpectOnlyBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    ASSERT_EQ(window_.boxes().size(), 1u);
    const ShownBox& box = window_.boxes()[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.icon, icon);
    EXPECT_EQ(box.buttons, BoxButtons::kOk);
  }
  MemoryWindow window_;
};

TEST_F(ErrorReportTest, MissingSettingsFileNamesTheFileAndNumber100) {
  ShowNumberedMessage(window_, IDS_INI_MISSING, IDS_CAPTION_ERROR, BoxIcon::kError, "veskotdr.ini",
                      kMsgIniMissing);
  ExpectOnlyBox("Cannot find the INI file veskotdr.ini !\nError nr.: 100", "ERROR",
                BoxIcon::kError);
}

TEST_F(ErrorReportTest, MissingLanguageIsAWarningWith200) {
  ShowNumberedMessage(window_, IDS_LANGUAGE_MISSING, IDS_CAPTION_WARNING, BoxIcon::kWarning,
                      "Klingon", "product.ini", kMsgLanguageMissing);
  ExpectOnlyBox("Cannot find language Klingon form product.ini in file lang.cfg\nWarning nr.: 200",
                "WARNING", BoxIcon::kWarning);
}

TEST_F(ErrorReportTest, CatalogueMessagesCarryPathOrLine) {
  const std::string path = "/srv/" + std::string(400, 'd') + "/data/lang.cfg";
  ShowNumberedMessage(window_, IDS_FILE_MISSING, IDS_CAPTION_ERROR, BoxIcon::kError, path.c_str(),
                      kMsgCatalogueUnreadable);
  ShowNumberedMessage(window_, IDS_CATALOGUE_SYNTAX, IDS_CAPTION_ERROR, BoxIcon::kError, 12,
                      kMsgCatalogueSyntax);
  ASSERT_EQ(window_.boxes().size(), 2u);
  // A long path is shown whole, not cut at 255 characters.
  EXPECT_EQ(window_.boxes()[0].text, "Cannot open the file " + path + " !\nError nr.: 102");
  EXPECT_EQ(window_.boxes()[1].text,
            "Invalidate syntax in file lang.cfg line : 12 !\nError nr.: 103");
}

TEST_F(ErrorReportTest, RunErrorHasCaptionErrorBangAndOkOnly) {
  ShowRunError(window_, "Failed again, aborting!");
  ExpectOnlyBox("Failed again, aborting!", "Error!", BoxIcon::kError);
}

TEST_F(ErrorReportTest, StringTableHasEntriesOneToEightOnly) {
  EXPECT_EQ(StringTableEntry(1), "ERROR");
  EXPECT_EQ(StringTableEntry(2), "WARNING");
  EXPECT_EQ(StringTableEntry(5), "Cannot find any free COM port !\nError nr.: %d");
  EXPECT_EQ(StringTableEntry(8), "Cannot open COM port %s !\nError nr.: %d");
  EXPECT_EQ(StringTableEntry(0), "");
  EXPECT_EQ(StringTableEntry(9), "");
}

}  // namespace
}  // namespace r7700
