#include "ui/InstallOptionsDialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/fake/FakePlatform.h"

namespace {

using fake::FakeDialogs;

class InstallOptionsDialogTest : public ::testing::Test {
 protected:
  uint8_t Show(const char* initialPath = "C:\\Games\\Demo") {
    return dialog.Show(nullptr, reinterpret_cast<os::Window>(0x1234), initialPath);
  }
  fake::FakeWindow& Window() { return *dialogs.windows.front(); }
  std::string Edit() { return Window().items.at(1000)->text; }
  bool Journalled(const std::string& line) {
    return std::find(dialogs.journal.begin(), dialogs.journal.end(), line) != dialogs.journal.end();
  }

  FakeDialogs dialogs;
  InstallOptionsDialog dialog{dialogs};
};

TEST_F(InstallOptionsDialogTest, RunsModallyWithoutOwnerAndShowsPathAndTitle) {
  dialogs.script.push_back(FakeDialogs::Press(1002));
  Show();
  EXPECT_EQ(dialogs.journal.front(), "modal IDD_ISNTALLDIALOG owner=(nil)");
  EXPECT_EQ(Window().text, "Installation Options");
  EXPECT_EQ(Edit(), "C:\\Games\\Demo");
}

TEST_F(InstallOptionsDialogTest, ExitsWithoutInstallAnswerZeroAndKeepThePath) {
  const struct {
    const char* what;
    FakeDialogs::Action action;
  } cases[] = {
      {"Cancel", FakeDialogs::Press(1002)},
      {"close box", FakeDialogs::CloseBox()},
  };
  for (const auto& c : cases) {
    FakeDialogs local;
    InstallOptionsDialog d(local);
    local.script.push_back(c.action);
    EXPECT_EQ(d.Show(nullptr, nullptr, "C:\\Games\\Demo"), 0) << c.what;
    EXPECT_STREQ(d.Path(), "C:\\Games\\Demo") << c.what;
    EXPECT_EQ(local.journal.back(), "ended 0") << c.what;
    EXPECT_EQ(std::count(local.journal.begin(), local.journal.end(), "script ran out"), 0)
        << c.what;
  }
}

TEST_F(InstallOptionsDialogTest, EscLeavesTheDialogOpen) {
  dialogs.script.push_back(FakeDialogs::Key(2));
  EXPECT_EQ(Show(), 0);
  // The dialog was still there after Esc: the script ran out and the close box ended it.
  EXPECT_EQ(dialogs.journal, (std::vector<std::string>{"modal IDD_ISNTALLDIALOG owner=(nil)",
                                                       "caption Installation Options", "key 2",
                                                       "script ran out", "close box", "ended 0"}));
}

TEST_F(InstallOptionsDialogTest, SystemCommandsOtherThanCloseAreIgnored) {
  // SC_CLOSE with its low bits set (as a menu might send it) is not SC_CLOSE.
  dialogs.script.push_back([](FakeDialogs&, fake::FakeWindow& w) {
    w.handler->OnMessage(&w, os::kWmSysCommand, os::kScClose | 2, 0);
  });
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(), 0);
}

TEST_F(InstallOptionsDialogTest, InstallOrEnterWithAnEmptyBoxAcceptsTheEmptyPath) {
  for (const auto& accept : {FakeDialogs::Press(1), FakeDialogs::Key(1)}) {
    FakeDialogs local;
    InstallOptionsDialog d(local);
    local.script.push_back(FakeDialogs::Type(1000, ""));
    local.script.push_back(accept);
    EXPECT_NE(d.Show(nullptr, nullptr, "C:\\Games\\Demo"), 0);
    EXPECT_STREQ(d.Path(), "");
  }
}

TEST_F(InstallOptionsDialogTest, TypedTextWinsOverAnEarlierBrowse) {
  dialogs.browseAnswers.push_back({true, "D:\\Chosen"});
  dialogs.script.push_back(FakeDialogs::Press(1001));
  dialogs.script.push_back(FakeDialogs::Type(1000, "E:\\Typed Folder"));
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(), 0);
  EXPECT_STREQ(dialog.Path(), "E:\\Typed Folder");
}

TEST_F(InstallOptionsDialogTest, TypedTextIsCutTo259Characters) {
  const std::string typed(300, 't');
  dialogs.script.push_back(FakeDialogs::Type(1000, typed));
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(), 0);
  EXPECT_EQ(std::string(dialog.Path()), typed.substr(0, 259));
}

TEST_F(InstallOptionsDialogTest, BrowseChosenReplacesPathAndEditBox) {
  dialogs.browseAnswers.push_back({true, "D:\\Chosen"});
  dialogs.script.push_back(FakeDialogs::Press(1001));
  dialogs.script.push_back([this](FakeDialogs&, fake::FakeWindow& w) {
    EXPECT_EQ(w.items.at(1000)->text, "D:\\Chosen");
  });
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(), 0);
  EXPECT_STREQ(dialog.Path(), "D:\\Chosen");
  // Owned by the dialog, with its title and BIF_RETURNONLYFSDIRS | BIF_EDITBOX.
  char expected[96];
  std::snprintf(expected, sizeof(expected),
                "browse \"Select Installation Directory\" flags=17 owner=%p",
                static_cast<void*>(&Window()));
  EXPECT_TRUE(Journalled(expected)) << expected;
}

TEST_F(InstallOptionsDialogTest, BrowseCancelledChangesNothing) {
  dialogs.browseAnswers.push_back({false, ""});
  dialogs.script.push_back(FakeDialogs::Type(1000, "C:\\Typed"));
  dialogs.script.push_back(FakeDialogs::Press(1001));
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(), 0);
  EXPECT_STREQ(dialog.Path(), "C:\\Typed");
  EXPECT_EQ(Edit(), "C:\\Typed");
}

TEST_F(InstallOptionsDialogTest, LongInitialPathShowsItsFirst259Characters) {
  const std::string initial(300, 'p');
  dialogs.script.push_back(FakeDialogs::Press(1));
  EXPECT_NE(Show(initial.c_str()), 0);
  EXPECT_EQ(Edit(), initial.substr(0, 259));
  EXPECT_EQ(std::string(dialog.Path()), initial.substr(0, 259));
}

TEST_F(InstallOptionsDialogTest, TitleIsTheProjectNameAndTheSuffix) {
  dialog.SetTitle(nullptr);
  EXPECT_STREQ(dialog.Title(), "Installation Options");
  dialog.SetTitle("Demo");
  EXPECT_STREQ(dialog.Title(), "Demo Installation Options");
  dialogs.script.push_back(FakeDialogs::Press(1002));
  Show();
  EXPECT_EQ(Window().text, "Demo Installation Options");
}

TEST(InstallTitle, LongNamesAreCutToFitThe300ByteBuffer) {
  const struct {
    size_t nameLength;
    size_t keptName;
  } cases[] = {{258, 258}, {278, 278}, {279, 278}, {400, 278}};
  for (const auto& c : cases) {
    const std::string name(c.nameLength, 'n');
    char title[300];
    std::memset(title, 'x', sizeof(title));
    ComposeInstallTitle(name.c_str(), title);
    EXPECT_EQ(std::string(title), name.substr(0, c.keptName) + " Installation Options")
        << c.nameLength;
  }
}

TEST(InstallOptionsDialog, DialogThatCannotBeCreatedCountsAsCancelled) {
  FakeDialogs dialogs;
  dialogs.failCreate = true;
  InstallOptionsDialog dialog(dialogs);
  EXPECT_EQ(dialog.Show(nullptr, nullptr, "C:\\x"), 0);
}

}  // namespace
