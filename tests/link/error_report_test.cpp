#include "link/error_report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// A program whose string table says otherwise: the box shows its texts,
// loaded into 256 and 40 bytes.
class OwnStringTable : public MemoryWindow {
 public:
  std::string StringResource(int entry, size_t buffer_bytes) override {
    loads.emplace_back(entry, buffer_bytes);
    return entry == IDS_CAPTION_ERROR ? "FEHLER" : "Keine Datei %s (%d)";
  }
  std::vector<std::pair<int, size_t>> loads;
};

TEST_F(ErrorReportTest, TextsComeFromTheWindowsStringTable) {
  OwnStringTable window;
  ShowNumberedMessage(window, IDS_INI_MISSING, IDS_CAPTION_ERROR, BoxIcon::kError, "veskotdr.ini",
                      kMsgIniMissing);
  ASSERT_EQ(window.boxes().size(), 1u);
  EXPECT_EQ(window.boxes()[0].text, "Keine Datei veskotdr.ini (100)");
  EXPECT_EQ(window.boxes()[0].caption, "FEHLER");
  EXPECT_EQ(window.loads,
            (std::vector<std::pair<int, size_t>>{{IDS_INI_MISSING, 256}, {IDS_CAPTION_ERROR, 40}}));
  // The plain table is cut to the buffer as a string-table load is.
  EXPECT_EQ(window_.StringResource(IDS_NO_FREE_PORT, 11), "Cannot fin");
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
