#include <gtest/gtest.h>

#include "data/btrieve.h"

using namespace kovo::btrv;

TEST(BtrieveStatus, StringIdsAndTexts) {
  EXPECT_EQ(status_string_id(-1), 3002);
  EXPECT_EQ(status_string_id(0), 10000);
  EXPECT_EQ(status_string_id(97), 10097);
  EXPECT_EQ(status_string_id(98), 3001);
  EXPECT_EQ(status_string_id(150), 3001);
  EXPECT_EQ(status_string_id(1005), 1005);
  EXPECT_EQ(status_string_id(1016), 3001);
  EXPECT_EQ(status_string_id(2006), 2006);
  EXPECT_EQ(status_string_id(-7), 9993) << "other negatives count as below 98";

  EXPECT_EQ(error_text(20, "C:\\CYMA\\DEMO\\glacct.dat"),
            "C:\\CYMA\\DEMO\\glacct.dat - Btrieve Error 20 - Record Manager Inactive");
  EXPECT_EQ(error_text(1005, nullptr), "Btrieve Error 1005 - Invalid Preimage Drive Parameter");
  EXPECT_EQ(error_text(1016, nullptr), "Btrieve Error 1016 - Unknown Btrieve Error");
  EXPECT_EQ(error_text(150, nullptr), "Btrieve Error 150 - Unknown Btrieve Error");
  EXPECT_EQ(error_text(-1, nullptr), "Btrieve Error -1 - Could not Find Btrieve Server");
  EXPECT_EQ(error_text(-7, nullptr), "Btrieve Error -7 - Unknown Btrieve Error");
  const std::string long_name(200, 'n');
  EXPECT_EQ(error_text(9, long_name.c_str()), std::string(90, 'n') + " - Btrieve Error 9 - End of File");
}

TEST(BtrieveStatus, CheckStatusKeepsTheLastStatus) {
  EXPECT_EQ(check_status(9, nullptr), kBtrieveError);
  EXPECT_EQ(last_status(), 9);
  EXPECT_EQ(last_error_text(), "Btrieve Error 9 - End of File");
  EXPECT_EQ(check_status(0, "x"), 0);
  EXPECT_EQ(last_status(), 0);
}

TEST(BtrievePath, BlanksInNameAndFolders) {
  int asked = 0;
  auto none = [&](const std::string&) {
    ++asked;
    return std::string();
  };
  EXPECT_EQ(make_btrieve_path("C:\\CYMA\\DEMO\\gl acct.dat", none), "C:\\CYMA\\DEMO\\gl_acct.dat");
  EXPECT_EQ(asked, 0) << "no blank left: no short form needed";
  EXPECT_EQ(make_btrieve_path("gl acct.dat", none), "gl_acct.dat");

  auto shorter = [](const std::string& path) {
    EXPECT_EQ(path, "C:\\Program Files\\Cyma\\my_file.dat");
    return std::string("C:\\PROGRA~1\\Cyma\\MY_FIL~1.DAT");
  };
  EXPECT_EQ(make_btrieve_path("C:\\Program Files\\Cyma\\my file.dat", shorter),
            "C:\\PROGRA~1\\Cyma\\my_file.dat") << "short folders, the name keeps its underscores";
  auto longer = [](const std::string& path) { return path + "-longer"; };
  EXPECT_EQ(make_btrieve_path("C:\\A B\\x.dat", longer), "C:\\A B\\x.dat");
  EXPECT_EQ(make_btrieve_path("C:\\A B\\x.dat", none), "C:\\A B\\x.dat");
}
