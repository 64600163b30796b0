#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "lib/file_errors.h"

namespace {

using vk::FileErrorMessage;
using vk::FileErrorMessageW;
using vk::FileErrorToSystemError;

TEST(FileErrors, TheWholeTable) {
  struct Row {
    int code;
    const char* message;
    uint32_t systemError;
  };
  const Row rows[] = {
      {0, "Success.", 0},
      {1, "An unknown error occurred.", 0x80004005u},
      {2, "The filename is invalid.", 123},
      {3, "The file was not found.", 2},
      {4, "The directory does not exist.", 3},
      {5, "The file is locked by another application.", 32},
      {6, "Failed to read the file into memory.", 30},
      {7, "Failed to write data to the file.", 29},
      {8, "Too many files are already open.", 4},
      {9, "An invalid parameter was used.", 87},
      {10, "The file already exists.", 80},
      {11, "Too many indexed files exist.", 4},
      {12, "Access denied.", 5},
      {13, "The file's Read-Only attribute is set.", 5},
      {14, "The file's contents are corrupted.", 1392},
      {15, "Deletion failed.", 8398},
      {16, "The file is too large to load into memory.", 8},
      {17, "Aborted by the user.", 1235},
      {18, "Failed to create the directory.", 267},
      {19, "The network path is not valid.", 1203},
      {20, "The device is not ready (usually because no disk is inserted).", 21},
      {21, "The drive does not exist.", 15},
      {22, "Erasure verification failed.", 13915},
      {23, "The filepath points to a folder, not a file.", 0x80004005u},
      {24, "Too many tabs are open.", 4},
      {25, "No change was necessary.", 1252},
      {26, "The file is not open.", 6},
      // Outside the table.
      {-1, "An unknown error occurred.", 0x80004005u},
      {27, "An unknown error occurred.", 0x80004005u},
      {1000, "An unknown error occurred.", 0x80004005u},
      {INT_MIN, "An unknown error occurred.", 0x80004005u},
      {INT_MAX, "An unknown error occurred.", 0x80004005u},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("code " + std::to_string(r.code));
    EXPECT_EQ(FileErrorMessage(r.code), r.message);
    EXPECT_EQ(FileErrorMessageW(r.code), vk::AsciiToStreng(r.message));
    EXPECT_EQ(FileErrorToSystemError(r.code), r.systemError);
  }
}

// Answers from the row, and a record of which questions were asked.
class FakeFacts : public vk::OpenFailureFacts {
public:
  bool folder = false, readOnly = false;
  std::u16string drives = u"CZ";
  std::string asked;

  bool IsExistingFolder() override {
    asked += 'F';
    return folder;
  }
  bool DriveExists(char16_t letter) override {
    asked += 'D';
    asked += char(letter);
    return drives.find(letter) != std::u16string::npos;
  }
  bool IsReadOnlyFile() override {
    asked += 'R';
    return readOnly;
  }
};

TEST(FileErrors, TranslateOpenError) {
  struct Row {
    const char* name;
    uint32_t systemError;
    const char16_t* path;
    bool writing, folder, readOnly;
    int expected;
    const char* asked;  // the lookups the translation may make, in order
  };
  const Row rows[] = {
      {"2 valid path", 2, u"C:\\dir\\file.txt", false, false, false, 3, ""},
      {"2 bad syntax", 2, u"C:\\dir\\fi|le.txt", false, false, false, 2, ""},
      {"2 wildcard", 2, u"C:\\dir\\*.txt", false, false, false, 2, ""},
      {"3 names a folder", 3, u"C:\\dir\\", false, true, false, 23, "F"},
      {"3 missing drive", 3, u"q:\\dir\\file", false, false, false, 21, "FDQ"},
      {"3 existing drive", 3, u"c:\\dir\\file", false, false, false, 4, "FDC"},
      {"3 relative path", 3, u"dir\\file", false, false, false, 4, "F"},
      {"3 UNC path", 3, u"\\\\server\\share\\f", false, false, false, 4, "F"},
      {"4", 4, u"C:\\f", false, false, false, 8, ""},
      {"5 names a folder", 5, u"C:\\dir", true, true, true, 23, "F"},
      {"5 writing a read-only file", 5, u"C:\\f", true, false, true, 13, "FR"},
      {"5 writing, not read-only", 5, u"C:\\f", true, false, false, 12, "FR"},
      {"5 reading a read-only file", 5, u"C:\\f", false, false, true, 12, "F"},
      {"15", 15, u"C:\\f", false, false, false, 21, ""},
      {"21", 21, u"A:\\f", false, false, false, 20, ""},
      {"32", 32, u"C:\\f", true, false, false, 5, ""},
      {"33", 33, u"C:\\f", true, false, false, 5, ""},
      {"51", 51, u"\\\\s\\f", false, false, false, 19, ""},
      {"53", 53, u"\\\\s\\f", false, false, false, 19, ""},
      {"64", 64, u"\\\\s\\f", false, false, false, 19, ""},
      {"65", 65, u"\\\\s\\f", false, false, false, 19, ""},
      {"67", 67, u"\\\\s\\f", false, false, false, 19, ""},
      {"1203", 1203, u"\\\\s\\f", false, false, false, 19, ""},
      {"80", 80, u"C:\\f", true, false, false, 10, ""},
      {"87", 87, u"C:\\f", false, false, false, 9, ""},
      {"123", 123, u"C:\\f<", false, false, false, 2, ""},
      {"0 (no error)", 0, u"C:\\f", false, false, false, 1, ""},
      {"6", 6, u"C:\\f", false, false, false, 1, ""},
      {"E_FAIL", 0x80004005u, u"C:\\f", false, true, true, 1, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    FakeFacts facts;
    facts.folder = r.folder;
    facts.readOnly = r.readOnly;
    EXPECT_EQ(vk::TranslateOpenError(r.systemError, r.path, r.writing, facts), r.expected);
    EXPECT_EQ(facts.asked, r.asked);
  }
}

TEST(FileErrors, PathSyntax) {
  struct Row {
    const char16_t* path;
    bool valid;
  };
  const Row rows[] = {
      {u"C:\\Program Files\\App\\a.txt", true},
      {u"relative\\name.dat", true},
      {u"\\\\server\\share\\file", true},
      {u"\\\\?\\C:\\long\\path", true},
      {u"C:", true},
      {u"", false},
      {u"\\\\?\\", false},
      {u"C:\\a<b", false},
      {u"C:\\a>b", false},
      {u"C:\\a\"b", false},
      {u"C:\\a|b", false},
      {u"C:\\a?b", false},
      {u"C:\\a*b", false},
      {u"C:\\dir\\a:stream", false},
      {u"1:\\a", false},
      {u"C:\\a\tb", false},
      {u"C:\\a\x1f", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(vk::StrengToUtf8(r.path));
    EXPECT_EQ(vk::PathSyntaxValid(r.path), r.valid);
  }
  EXPECT_EQ(vk::LeadingDriveLetter(u"d:x"), u'D');
  EXPECT_EQ(vk::LeadingDriveLetter(u"Z:"), u'Z');
  EXPECT_EQ(vk::LeadingDriveLetter(u"\\\\s"), 0);
  EXPECT_EQ(vk::LeadingDriveLetter(u"é:"), 0);
  EXPECT_EQ(vk::LeadingDriveLetter(u"C"), 0);
}

}  // namespace
